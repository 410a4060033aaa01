// Walking a song with the sequencer alone: where each pass ends.
#include <gtest/gtest.h>

#include "player/song_length.h"
#include "tests/player/test_song.h"

namespace quarbtro {
namespace {

// Two patterns of 4 rows at speed 6 and 125 BPM: a row is 6 ticks of 882 frames, 5,292 frames.
constexpr std::int64_t rowFrames = 6 * 882;

TEST(SongWalk, EachPassEndsWhereTheSongComesBackToARowItPlayed) {
    TestSong song(1, {4, 4});
    song.setOrders({0, 1});
    SongWalk walk(song.module);
    ASSERT_TRUE(walk.started());
    EXPECT_EQ(walk.walkPass(), 8 * rowFrames);
    EXPECT_EQ(walk.walkPass(), 16 * rowFrames);
    EXPECT_EQ(songFrames(song.module, 44100, 0, 3), 24 * rowFrames);
    EXPECT_EQ(songFrames(song.module, 44100, 2), -1);  // not in the song
}

// Started later, the first pass ends at the song's end, not where the start order comes round
// again; the passes after it are the whole song.
TEST(SongWalk, FromAnOrderPositionToTheSongsEnd) {
    TestSong song(1, {4, 4, 4, 4});
    song.setOrders({0, 1, 2, 3});
    EXPECT_EQ(songFrames(song.module, 44100, 3), 4 * rowFrames);
    EXPECT_EQ(songFrames(song.module, 44100, 3, 2), (4 + 16) * rowFrames);
    // A song that loops back from its end to order 1 (B01): from 2 it plays 2 and 3.
    song.cell(3, 3, 0) = {0, 0, 0, effect::positionJump, 1};
    EXPECT_EQ(songFrames(song.module, 44100, 2), 8 * rowFrames);
    EXPECT_EQ(songFrames(song.module, 44100, 2, 2), (8 + 12) * rowFrames);
    // Order 3 jumps to 0 at its first row, so 3 is never reached but by starting there: it plays
    // its first row, then stops where the song begins.
    song.cell(3, 3, 0) = {};
    song.cell(2, 0, 0) = {0, 0, 0, effect::positionJump, 0};
    EXPECT_EQ(songFrames(song.module, 44100, 3), 4 * rowFrames);
}

TEST(SongWalk, AJumpBackEndsThePassAndAPatternLoopDoesNot) {
    TestSong song(1, {4, 4});
    song.setOrders({0, 1});
    song.cell(0, 0, 0) = {0, 0, 0, effect::extended, 0x60};
    song.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0x62};  // rows 0 and 1 three times
    song.cell(1, 1, 0) = {0, 0, 0, effect::positionJump, 1};   // back to order 1
    EXPECT_EQ(songFrames(song.module), (4 + 4 + 2) * rowFrames);
}

// At speed 31 and 32 BPM a row lasts 31 × 3,445 frames: two patterns of 256 rows take longer
// than the longest pass, which ends each pass instead.
TEST(SongWalk, APassEndsAtTheLongestPassAtTheLatest) {
    TestSong song(1, {256, 256});
    song.setOrders({0, 1});
    song.module.defaultSpeed = 31;
    song.module.defaultBpm = 32;
    SongWalk walk(song.module);
    const std::int64_t longest = longestPassSeconds * 44100;
    EXPECT_EQ(walk.walkPass(), longest);
    EXPECT_EQ(walk.walkPass(), 2 * longest);
}

// The walk plays on a player of its own: the player the song plays on does not move.
TEST(SongWalk, LeavesAPlayingPlayerAlone) {
    TestSong song(1, {4, 4});
    song.setOrders({0, 1});
    song.start();
    song.tick(7);
    EXPECT_EQ(songFrames(song.module), 8 * rowFrames);
    EXPECT_EQ(song.state().row, 1);
    EXPECT_EQ(song.state().tick, 1);
}

}  // namespace
}  // namespace quarbtro
