#include "player/player.h"

#include <cstring>

namespace quarbtro {

void configureOutput(Player& player, std::int32_t rate) {
    player.outputRate = rate;
    player.blockFrames = defaultBlockFrames;
    // 128 frames at the default rate, the same time at any other.
    player.rampLength = static_cast<std::int32_t>(static_cast<std::int64_t>(rate) * 128 / defaultOutputRate);
    if (player.rampLength < 1) player.rampLength = 1;  // a ramp needs a frame
    player.invRate = 1.0f / static_cast<float>(rate);
    player.invRampLength = 1.0f / static_cast<float>(player.rampLength);
    player.gain = 1.0f;
    player.interpolation = Interpolation::linear;
    player.stereoSeparation = 100;
    player.mutedChannels.store(0);
    player.fadeOutAt = -1;
    player.fadeOutFrames = 0;
    std::memset(player.voices, 0, sizeof player.voices);
    for (int i = 0; i < voiceCount; ++i) {
        player.voices[i].index = i;
        player.voices[i].stepInt = 1;
    }
}

void usePlaybackProfile(Player& player, PlaybackProfile profile) {
    player.profile = profile;
}

}  // namespace quarbtro
