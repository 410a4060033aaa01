#include "tools/xm/play_progress.h"

#include <gtest/gtest.h>

namespace quarbtro {
namespace {

// A song whose first pass is 1,000 frames and each later one 800 (it goes on from a restart
// position), played twice, started after 500 frames of an earlier song were written.
PlayProgress twoPasses(std::int64_t songTime = 0, std::int64_t limit = -1) {
    PlayProgress progress;
    progress.start(500, songTime, {1000, 800, 2}, limit);
    return progress;
}

TEST(PlayProgress, EndsWhenTheLastPassIsHeard) {
    const PlayProgress progress = twoPasses();
    EXPECT_EQ(progress.total(), 1800);
    EXPECT_EQ(progress.songTime(400), 0);  // the earlier song is still heard
    EXPECT_EQ(progress.songTime(1700), 1200);
    EXPECT_FALSE(progress.over(2299));
    EXPECT_TRUE(progress.over(2300));
}

// Started at an order position 600 frames into the song: the time shown is the song's, and the
// playing ends at the song's end.
TEST(PlayProgress, StartedInsideTheSongItEndsAtTheSongsEnd) {
    PlayProgress progress;
    progress.start(0, 600, {1000, 800, 1});
    EXPECT_EQ(progress.total(), 1000);
    EXPECT_EQ(progress.songTime(0), 600);
    EXPECT_EQ(progress.played(100), 100);
    EXPECT_FALSE(progress.over(399));
    EXPECT_TRUE(progress.over(400));
}

TEST(PlayProgress, APauseIsNeitherSongTimeNorPlaying) {
    PlayProgress progress = twoPasses();
    progress.pause(1200);                      // written so far; heard lags behind
    EXPECT_TRUE(progress.paused());
    EXPECT_EQ(progress.songTime(1100), 600);   // what was written before goes on being heard
    EXPECT_EQ(progress.songTime(1400), 700);   // then silence: the time stands
    progress.resume(1500);                     // 300 frames of silence written
    EXPECT_EQ(progress.songTime(1400), 700);
    EXPECT_EQ(progress.songTime(1600), 800);
    EXPECT_EQ(progress.played(1600), 800);
    EXPECT_FALSE(progress.over(2599));         // the end moved by the silence
    EXPECT_TRUE(progress.over(2600));
    EXPECT_EQ(progress.total(), 1800);
}

// A move goes on in the pass being heard: the song's time jumps, its whole time stays.
TEST(PlayProgress, AMoveStaysInThePassAndKeepsTheWholeTime) {
    PlayProgress progress = twoPasses();
    progress.move(900, 700, 300);           // heard at song time 200: pass 1 ends at 1,000
    EXPECT_EQ(progress.songTime(800), 300);  // the old position still heard until the move is
    EXPECT_EQ(progress.songTime(900), 700);
    EXPECT_EQ(progress.total(), 1800);
    EXPECT_FALSE(progress.over(900 + 1099));
    EXPECT_TRUE(progress.over(900 + 1100));
    progress.move(1800, 1700, 500);          // song time 1,500: in pass 2, which ends at 1,800
    EXPECT_EQ(progress.songTime(1800), 1300);
    EXPECT_TRUE(progress.over(2300));
}

TEST(PlayProgress, ATimeLimitEndsThePlayingFirst) {
    PlayProgress progress = twoPasses(0, 700);
    progress.pause(800);
    progress.resume(1000);  // 200 frames of silence: no playing
    EXPECT_FALSE(progress.over(1399));
    EXPECT_TRUE(progress.over(1400));
}

TEST(PlayProgress, UntilStoppedItPlaysOn) {
    PlayProgress progress;
    progress.start(0, 0, {1000, 800, 0});
    EXPECT_FALSE(progress.over(1'000'000'000));
    EXPECT_EQ(progress.total(), -1);
    EXPECT_EQ(progress.songTime(44100), 44100);
    progress.move(5000, 5000, 100);  // song time 5,000 is in the sixth pass, which ends at 5,800
    EXPECT_EQ(progress.songTime(5000), 5700);
}

}  // namespace
}  // namespace quarbtro
