// Names as the files hold them, turned into UTF-8 in the character set of the tracker that
// wrote them, and their bytes kept whole for JSON.
#include <gtest/gtest.h>

#include "tools/xm/module_names.h"

namespace quarbtro {
namespace {

TEST(ModuleNames, FastTracker2FilesAreReadInCodePage437) {
    const NameEncoding dos = nameEncodingOf("FastTracker v2.00   ");
    EXPECT_EQ("\xC3\xA9t\xC3\xA9", nameForPeople("\x82t\x82", dos));                  // été
    EXPECT_EQ("\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97", nameForPeople("\xC9\xCD\xBB", dos));  // ╔═╗
    EXPECT_EQ("\"\xCE\xA9\"", nameAsJson("\xEA", dos));                               // Ω
}

TEST(ModuleNames, OtherFilesAreReadInWindows1252) {
    const NameEncoding windows = nameEncodingOf("MilkyTracker 1.03.00");
    EXPECT_EQ("\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC3\xA9", nameForPeople("\x80 \x93x\x94 \xE9", windows));  // € “x” é
    // 0x81 has no character in Windows-1252: a control character, like the ASCII ones.
    EXPECT_EQ("a?b?", nameForPeople("a\x81" "b\x01", windows));
    EXPECT_EQ("\"a\\u0081b\\u0001\\\"\\\\\"", nameAsJson("a\x81" "b\x01\"\\", windows));
}

TEST(ModuleNames, TextEndsAtTheFirstZeroWithoutTrailingSpaces) {
    const char field[23] = "Bass  \0junk";
    EXPECT_EQ("Bass", nameForPeople(field, NameEncoding::windows1252));
    EXPECT_EQ("\"Bass\"", nameAsJson(field, NameEncoding::codePage437));
}

TEST(ModuleNames, BytesKeepEverythingButTrailingZeros) {
    const char field[23] = "a\x82\"b  \0c";
    EXPECT_EQ("\"a\\u0082\\\"b  \\u0000c\"", bytesAsJson(field, 22));
    EXPECT_EQ("\"\"", bytesAsJson("\0\0\0", 3));
}

}  // namespace
}  // namespace quarbtro
