#include <gtest/gtest.h>

#include "player/playback.h"
#include "player/render.h"
#include "tests/player/test_song.h"

namespace quarbtro {
namespace {

// What a player shows while it plays (xmplay's status line): the speed and BPM the song has
// reached and the channels that sound, published after each block.
TEST(PlayingState, PublishedAfterEachBlock) {
    TestSong song(3, {64});
    song.addInstrument();
    song.cell(0, 0, 0) = {49, 1, 0, effect::speedOrTempo, 4};     // C-4, and speed 4
    song.cell(0, 0, 1) = {49, 1, 0, effect::speedOrTempo, 150};   // C-4, and 150 BPM
    song.cell(0, 0, 2) = {0, 0, 0, effect::setVolume, 0};          // nothing plays here
    EXPECT_EQ(getPlayingState(song.player(), nullptr).bpm, 0);
    song.start();
    PlayingState state = getPlayingState(song.player(), &song.module);
    EXPECT_EQ(state.speed, 6);  // the song's defaults until a block is rendered
    EXPECT_EQ(state.bpm, 125);
    EXPECT_EQ(state.soundingChannels, 0);
    renderBlock(song.player());
    state = getPlayingState(song.player(), &song.module);
    EXPECT_EQ(state.speed, 4);
    EXPECT_EQ(state.bpm, 150);
    EXPECT_EQ(state.soundingChannels, 2);
}

}  // namespace
}  // namespace quarbtro
