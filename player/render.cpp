#include "player/render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "player/extended_precision.h"
#include "player/mixer.h"

namespace quarbtro {

namespace {

// The block's share of the fade: each frame scaled by how far the fade has gone.
void fadeOut(Player& player) {
    const std::int64_t length = std::max(player.fadeOutFrames, 1);
    for (int i = 0; i < player.blockFrames; ++i) {
        const std::int64_t into = player.renderedFrames + i - player.fadeOutAt;
        if (into < 0) continue;
        const float share =
            into >= length ? 0.0f
                           : static_cast<float>(0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(into) / length));
        player.mixBuffer[2 * i] *= share;
        player.mixBuffer[2 * i + 1] *= share;
    }
}

}  // namespace

void renderBlock(Player& player) {
    const Module& module = *player.currentModule;
    SongState& song = player.song;
    const int blockFrames = player.blockFrames;
    std::memset(player.mixBuffer, 0, sizeof(float) * 2 * static_cast<std::size_t>(blockFrames));
    int done = 0;
    int left = song.samplesLeftInTick;
    float* cursor = player.mixBuffer;
    while (done < blockFrames) {
        if (left == 0) {
            if (player.onTick != nullptr) player.onTick(player, module);
            left = song.samplesPerTick;  // read after the tick: a tempo change counts at once
        }
        const int n = left < blockFrames - done ? left : blockFrames - done;
        done += n;
        left -= n;
        mixVoices(player, cursor, n);
        cursor += 2 * n;
        // The played time truncates every segment from a single-precision 1 / rate, so it runs
        // a little slow (19 ms for each 882-frame tick at 44,100 Hz).
        song.playedMs += static_cast<std::int32_t>(n * static_cast<long double>(player.invRate) * 1000);
    }
    player.publishedPlayedMs.store(song.playedMs, std::memory_order_relaxed);
    player.publishedRow.store(static_cast<std::uint8_t>(song.row), std::memory_order_relaxed);
    player.publishedOrderPosition.store(static_cast<std::uint8_t>(song.orderPosition),
                                        std::memory_order_relaxed);
    player.publishedSpeed.store(static_cast<std::uint8_t>(song.speed), std::memory_order_relaxed);
    player.publishedBpm.store(static_cast<std::uint8_t>(song.bpm), std::memory_order_relaxed);
    int sounding = 0;
    for (int c = 0; c < module.channelCount; ++c) {
        const Voice* voice = player.channels[c].voice;
        if (voice != nullptr && voice->sample != nullptr && voice->volume > 0) ++sounding;
    }
    player.publishedSoundingChannels.store(static_cast<std::uint8_t>(sounding), std::memory_order_relaxed);
    song.samplesLeftInTick = left;
    if (player.stereoSeparation != 100) {
        // The difference between the sides scaled, their sum kept: 0 % is the mono mix.
        const float separation = static_cast<float>(player.stereoSeparation) / 100;
        for (int i = 0; i < 2 * blockFrames; i += 2) {
            const float middle = (player.mixBuffer[i] + player.mixBuffer[i + 1]) / 2;
            const float side = (player.mixBuffer[i] - player.mixBuffer[i + 1]) / 2 * separation;
            player.mixBuffer[i] = middle + side;
            player.mixBuffer[i + 1] = middle - side;
        }
    }
    if (player.gain != 1.0f)  // a tool's --gain: the mix scaled before it is rounded
        for (int i = 0; i < 2 * blockFrames; ++i) player.mixBuffer[i] *= player.gain;
    if (player.fadeOutAt >= 0 && player.renderedFrames + blockFrames > player.fadeOutAt) fadeOut(player);
    player.renderedFrames += blockFrames;
    player.clippedSamples += convertToS16(player.outputBuffer, player.mixBuffer, blockFrames);
}

}  // namespace quarbtro
