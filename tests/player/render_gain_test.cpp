#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "player/render.h"
#include "tests/player/test_song.h"

namespace quarbtro {
namespace {

// The tools' --gain: the player scales the mix before rounding it, so the 16-bit block is the
// scaled mix rounded once (not the rounded block scaled).
TEST(RenderGain, ScalesTheMixBeforeItIsRounded) {
    std::vector<float> plainMix;
    std::vector<std::int16_t> plainBlock;
    for (float gain : {1.0f, 0.3f}) {
        TestSong song(1, {64});
        song.addInstrument();
        song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
        song.start();
        EXPECT_EQ(song.player().gain, 1.0f);  // as configured
        song.player().gain = gain;
        renderBlock(song.player());
        const Player& player = song.player();
        const int count = 2 * player.blockFrames;
        if (gain == 1.0f) {
            plainMix.assign(player.mixBuffer, player.mixBuffer + count);
            plainBlock.assign(player.outputBuffer, player.outputBuffer + count);
            continue;
        }
        int differingFromScaledBlock = 0;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(player.mixBuffer[i], plainMix[i] * gain) << i;
            EXPECT_EQ(player.outputBuffer[i], std::lrint(plainMix[i] * gain)) << i;
            differingFromScaledBlock += player.outputBuffer[i] != std::lrint(plainBlock[i] * gain);
        }
        EXPECT_GT(differingFromScaledBlock, 0);  // the order of the two matters for this note
    }
}

}  // namespace
}  // namespace quarbtro
