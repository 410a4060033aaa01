#include "tools/xm/play_progress.h"

#include <gtest/gtest.h>

namespace quarbtro {
namespace {

// A song of two passes, 1,000 and 1,800 frames long, started after 500 frames of an earlier
// song were written.
PlayProgress twoPasses() {
    PlayProgress progress;
    progress.start(500, {1000, 1800});
    return progress;
}

TEST(PlayProgress, EndsWhenTheLastPassIsHeard) {
    const PlayProgress progress = twoPasses();
    EXPECT_EQ(progress.total(), 1800);
    EXPECT_EQ(progress.elapsed(400), 0);  // the earlier song is still heard
    EXPECT_EQ(progress.elapsed(1700), 1200);
    EXPECT_EQ(progress.passesHeard(1499), 0);
    EXPECT_EQ(progress.passesHeard(1500), 1);
    EXPECT_FALSE(progress.over(2299));
    EXPECT_TRUE(progress.over(2300));
}

TEST(PlayProgress, APauseMovesTheEndsStillAhead) {
    PlayProgress progress = twoPasses();
    progress.pause(1200);                     // written so far; heard lags behind
    EXPECT_TRUE(progress.paused());
    EXPECT_EQ(progress.elapsed(1100), 600);   // what was written before goes on being heard
    EXPECT_EQ(progress.elapsed(1400), 700);   // then silence: the time stands
    EXPECT_EQ(progress.total(), 1800);
    progress.resume(1500);                    // 300 frames of silence written
    EXPECT_EQ(progress.elapsed(1400), 700);
    EXPECT_EQ(progress.elapsed(1600), 800);
    EXPECT_EQ(progress.passesHeard(1799), 0);  // the first end moved from 1,500 to 1,800
    EXPECT_TRUE(progress.over(2600));
    EXPECT_FALSE(progress.over(2599));
    EXPECT_EQ(progress.total(), 1800);
    progress.resume(1700);                    // not paused: nothing changes
    EXPECT_EQ(progress.total(), 1800);
}

TEST(PlayProgress, AMoveKeepsThePassesHeardAndReplacesTheRest) {
    PlayProgress progress = twoPasses();
    progress.move(1700, 1600, {300});  // first pass heard (its end, 1,500, is behind)
    EXPECT_EQ(progress.passesHeard(1600), 1);
    EXPECT_FALSE(progress.over(1999));
    EXPECT_TRUE(progress.over(2000));
    EXPECT_EQ(progress.total(), 1500);
    EXPECT_EQ(progress.elapsed(1650), 1150);  // the time played goes on across a move
}

TEST(PlayProgress, WithoutEndsItPlaysOn) {
    PlayProgress progress;
    progress.start(0, {});
    EXPECT_FALSE(progress.over(1'000'000'000));
    EXPECT_EQ(progress.total(), -1);
    EXPECT_EQ(progress.elapsed(44100), 44100);
}

}  // namespace
}  // namespace quarbtro
