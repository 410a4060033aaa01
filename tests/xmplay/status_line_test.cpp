#include "tools/xm/status_line.h"

#include <gtest/gtest.h>

namespace quarbtro {
namespace {

StatusFacts playing() {
    return {3, 12, 17, 12345, 42466, 3, 224, 6, 8, 0, false, 1, 2, "Caf\xC3\xA9 song"};
}

TEST(StatusLine, SaysWhereTheSongStandsAndHowItPlays) {
    EXPECT_EQ(statusLine(playing(), 200),
              "order 3/12  row 17  0:12.3 / 0:42.4  speed 3, 224 BPM  6/8 channels  [1/2] Caf\xC3\xA9 song");
    StatusFacts endless = playing();
    endless.totalMs = -1;
    endless.paused = true;
    EXPECT_EQ(statusLine(endless, 200),
              "order 3/12  row 17  0:12.3  speed 3, 224 BPM  6/8 channels  paused  [1/2] Caf\xC3\xA9 song");
    StatusFacts muted = playing();
    muted.muted = 0b1000'0101u | 1u << 20;  // channel 21 is no channel of this song's
    EXPECT_EQ(statusLine(muted, 200),
              "order 3/12  row 17  0:12.3 / 0:42.4  speed 3, 224 BPM  6/8 channels  muted 1 3 8  [1/2] Caf\xC3\xA9 song");
}

TEST(StatusLine, NeverWiderThanTheTerminal) {
    const std::string full = statusLine(playing(), 200);
    const std::size_t columns = full.size() - 1;  // the é is two bytes, one column
    EXPECT_EQ(statusLine(playing(), columns + 1), full);
    // One column less cuts the last character; the é is never split.
    EXPECT_EQ(statusLine(playing(), columns), full.substr(0, full.size() - 1));
    EXPECT_EQ(statusLine(playing(), columns - 5), full.substr(0, full.size() - 7));
    EXPECT_EQ(statusLine(playing(), 11), "order 3/12");
    EXPECT_EQ(statusLine(playing(), 0), "");
}

TEST(StatusLine, MinutesAndTenths) {
    EXPECT_EQ(minutesAndTenths(0), "0:00.0");
    EXPECT_EQ(minutesAndTenths(62399), "1:02.3");
    EXPECT_EQ(minutesAndTenths(3600000), "60:00.0");
}

}  // namespace
}  // namespace quarbtro
