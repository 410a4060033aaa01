// The embedded font and texts: the rows the scenes rely on, and the texts' exact lengths.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "assets/font_bitmap.h"
#include "assets/texts.h"

namespace quarbtro {
namespace {

using Rows = std::array<unsigned, 8>;

Rows glyph(int code) {
    Rows rows{};
    for (int r = 0; r < 8; ++r) rows[r] = fontBitmap[(code - 1) * 8 + r];
    return rows;
}

TEST(Font, NorwegianLettersSpaceZeroAndA) {
    EXPECT_EQ(glyph(1), (Rows{0x38, 0x00, 0x78, 0x0c, 0x7c, 0xcc, 0x76, 0x00}));   // å
    EXPECT_EQ(glyph(2), (Rows{0x00, 0x00, 0x7f, 0x0d, 0x7f, 0xcc, 0x77, 0x00}));   // æ
    EXPECT_EQ(glyph(7), (Rows{0x00, 0x01, 0x7f, 0xce, 0xd6, 0xe6, 0xfc, 0x00}));   // ø
    EXPECT_EQ(glyph(18), (Rows{0x00, 0x01, 0x7f, 0xce, 0xd6, 0xe6, 0xfc, 0x00}));  // ø
    EXPECT_EQ(glyph(32), (Rows{0, 0, 0, 0, 0, 0, 0, 0}));                          // space
    EXPECT_EQ(glyph(48), (Rows{0x38, 0x6c, 0xc6, 0xd6, 0xc6, 0x6c, 0x38, 0x00}));  // 0
    EXPECT_EQ(glyph(65), (Rows{0x38, 0x6c, 0xc6, 0xfe, 0xc6, 0xc6, 0xc6, 0x00}));  // A
    EXPECT_EQ(glyph(97), (Rows{0x00, 0x00, 0x78, 0x0c, 0x7c, 0xcc, 0x76, 0x00}));  // a
}

TEST(Font, EveryCodeButSpaceHasLitPixelsAndNoTwoPrintablesLookAlike) {
    for (int code = 1; code <= 127; ++code) {
        if (code == 32) continue;
        EXPECT_NE(glyph(code), Rows{}) << "code " << code;
    }
    for (int a = 33; a <= 126; ++a)
        for (int b = a + 1; b <= 126; ++b)
            EXPECT_NE(glyph(a), glyph(b)) << "codes " << a << " and " << b;
}

TEST(Texts, LengthsAndTheNorwegianLetters) {
    EXPECT_EQ(std::strlen(scrollerText), 135u);
    EXPECT_EQ(std::strlen(creditsFirstText), 49u);
    EXPECT_EQ(std::strlen(creditsSecondText), 25u);
    EXPECT_NE(std::strstr(scrollerText, "N\x01 skal vi l\x02re \x01 quarbe!"), nullptr);
    EXPECT_NE(std::strstr(scrollerText, "trenger:  en DASSRULL.  en HAMSTER.  rassh\x07let"),
              nullptr);
    for (const char* c = scrollerText; *c; ++c) EXPECT_GE(*c, 1);
}

}  // namespace
}  // namespace quarbtro
