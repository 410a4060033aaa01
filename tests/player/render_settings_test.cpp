// The player's settings that change what is heard of a song (the interpolation is tested with
// the resampler): stereo separation on the mixed block, and channels muted while they play.
#include <gtest/gtest.h>

#include <vector>

#include "player/render.h"
#include "tests/player/test_song.h"

namespace quarbtro {
namespace {

// Two notes, one panned far left (8xx) and one far right: a block that is far from mono.
std::vector<float> mixedBlock(int separation, std::uint32_t muted = 0) {
    TestSong song(2, {64});
    song.addInstrument();
    song.cell(0, 0, 0) = {49, 1, 0, 0x8, 0x10};
    song.cell(0, 0, 1) = {56, 1, 0x30, 0x8, 0xF0};
    song.start();
    song.player().stereoSeparation = separation;
    song.player().mutedChannels.store(muted);
    renderBlock(song.player());
    renderBlock(song.player());
    const Player& player = song.player();
    return {player.mixBuffer, player.mixBuffer + 2 * player.blockFrames};
}

TEST(RenderSettings, StereoSeparationScalesTheSidesAroundTheirMiddle) {
    const std::vector<float> full = mixedBlock(100);
    for (int separation : {0, 40}) {
        const std::vector<float> narrowed = mixedBlock(separation);
        for (std::size_t i = 0; i < full.size(); i += 2) {
            const float middle = (full[i] + full[i + 1]) / 2, side = (full[i] - full[i + 1]) / 2;
            ASSERT_NEAR(narrowed[i], middle + side * separation / 100, 0.01) << i;
            ASSERT_NEAR(narrowed[i + 1], middle - side * separation / 100, 0.01) << i;
        }
    }
    EXPECT_NE(full[400], full[401]);  // the block is stereo to begin with
}

TEST(RenderSettings, AMutedChannelIsNotHeardAndTheOthersAre) {
    const std::vector<float> both = mixedBlock(100);
    const std::vector<float> first = mixedBlock(100, 0b10);
    const std::vector<float> second = mixedBlock(100, 0b01);
    // By the second block every ramp is over: each channel alone adds up to both.
    for (std::size_t i = 0; i < both.size(); ++i) ASSERT_NEAR(first[i] + second[i], both[i], 0.01) << i;
    EXPECT_NE(first[400], 0.0f);
    EXPECT_NE(second[400], 0.0f);
    EXPECT_EQ(mixedBlock(100, 0b11)[400], 0.0f);
}

}  // namespace
}  // namespace quarbtro
