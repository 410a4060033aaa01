// The options xmplay and xmrender share: times and channel lists as people write them, and
// the channels they leave to be heard.
#include "tools/xm/play_options.h"

#include <gtest/gtest.h>

namespace quarbtro {
namespace {

TEST(PlayOptions, TimesInSecondsOrMinutesAndSeconds) {
    EXPECT_EQ(secondsIn("90", 1000), 90);
    EXPECT_EQ(secondsIn("1:30", 1000), 90);
    EXPECT_EQ(secondsIn("0:05.5", 1000), 5.5);
    EXPECT_EQ(secondsIn("20:00", 1000), std::nullopt);  // above the highest
    for (const char* refused : {"1:5", "1:60", "-1:30", "1:-3", ":30", "1:30:00", "1m30", "", "0x10"})
        EXPECT_EQ(secondsIn(refused, 1000), std::nullopt) << refused;
}

TEST(PlayOptions, ChannelListsFromOne) {
    EXPECT_EQ(channelsIn("1"), 1u);
    EXPECT_EQ(channelsIn("1,3"), 0b101u);
    EXPECT_EQ(channelsIn("5-8,32"), 0xF0u | 0x80000000u);
    for (const char* refused : {"0", "33", "3-1", "1,", ",1", "1-", "a", "", "1;2"})
        EXPECT_EQ(channelsIn(refused), std::nullopt) << refused;
}

TEST(PlayOptions, SoloLeavesItsChannelsAndMuteTakesAway) {
    PlayOptions options;
    EXPECT_EQ(mutedChannels(options), 0u);
    options.soloed = 0b0110;
    EXPECT_EQ(mutedChannels(options), ~0b0110u);
    options.muted = 0b0010;
    EXPECT_EQ(mutedChannels(options), ~0b0100u);
}

}  // namespace
}  // namespace quarbtro
