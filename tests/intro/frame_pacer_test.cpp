#include "intro/frame_pacer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quarbtro {
namespace {

constexpr std::int64_t ms = 1000000;  // ns

TEST(FramePacer, NoRateNeverWaits) {
    FramePacer pacer(0);
    for (std::int64_t now : {5 * ms, 5 * ms, 6 * ms}) EXPECT_EQ(pacer.startOf(now), now);
}

// A renderer that could draw every millisecond gets 60 frames in a second at 60 Hz, each a
// period after the one before.
TEST(FramePacer, FastFramesKeepToTheRefresh) {
    FramePacer pacer(60);
    std::int64_t now = 1000 * ms, previous = -1;
    int frames = 0;
    for (;;) {
        const std::int64_t start = pacer.startOf(now);
        if (start >= 2000 * ms) break;
        EXPECT_GE(start, now);
        if (previous >= 0) {
            EXPECT_EQ(start - previous, 16666667);
        }
        previous = start;
        ++frames;
        now = start + 1 * ms;  // the frame takes a millisecond
    }
    EXPECT_EQ(frames, 60);
}

// After a stall the next frame starts at once, and the ones after it a period apart: no burst
// to catch up.
TEST(FramePacer, LateFrameIsNotFollowedByABurst) {
    FramePacer pacer(50);  // 20 ms
    EXPECT_EQ(pacer.startOf(0), 0);
    EXPECT_EQ(pacer.startOf(1 * ms), 20 * ms);
    EXPECT_EQ(pacer.startOf(95 * ms), 95 * ms);  // stalled for 75 ms
    EXPECT_EQ(pacer.startOf(96 * ms), 115 * ms);
    EXPECT_EQ(pacer.startOf(130 * ms), 135 * ms);
}

// Slower frames than the refresh are never held back.
TEST(FramePacer, SlowFramesStartAtOnce) {
    FramePacer pacer(60);
    for (std::int64_t now = 0; now < 1000 * ms; now += 25 * ms) EXPECT_EQ(pacer.startOf(now), now);
}

}  // namespace
}  // namespace quarbtro
