#include "sound/playback_clock.h"

#include <gtest/gtest.h>

namespace quarbtro {
namespace {

TEST(PlaybackClock, QueuedBytesAreNotHeardYet) {
    EXPECT_EQ(playbackClockFromBytes(10'000'000, 8'192), 5'664);  // 9,991,808 bytes: 5,664.29
    EXPECT_EQ(playbackClockFromBytes(0, 0), 0);
    EXPECT_EQ(playbackClockFromBytes(1'764, 0), 1);  // one centisecond is 1,764 bytes
    EXPECT_EQ(playbackClockFromBytes(1'763, 0), 0);
}

TEST(PlaybackClock, QuotientComesFirstAndTruncates) {
    // Exactly 105 centiseconds of audio; 1.05 is not exact in extended precision.
    EXPECT_EQ(playbackClockFromBytes(185'220, 0), 104);
    EXPECT_EQ(playbackClockFromBytes(176'400, 0), 100);
}

TEST(PlaybackClock, DifferenceIsTakenModulo2To32) {
    // The counter wrapped 4,000 bytes ago with 8,192 bytes still queued: 4,294,963,104 bytes
    // have been heard, 24,347.86 seconds.
    EXPECT_EQ(playbackClockFromBytes(4'000, 8'192), 2'434'786);
}

}  // namespace
}  // namespace quarbtro
