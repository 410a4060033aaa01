#include "player/audio_output.h"

#include <cstring>

namespace quarbtro {

AudioOutput audioOutput = {};

void configureAudioOutput(std::int32_t rate) {
    audioOutput.outputRate = rate;
    audioOutput.blockFrames = defaultBlockFrames;
    audioOutput.rampLength = static_cast<std::int32_t>(static_cast<std::int64_t>(rate) * 128 / 44100);
    if (audioOutput.rampLength < 1) audioOutput.rampLength = 1;  // a ramp needs a frame
    audioOutput.invRate = 1.0f / static_cast<float>(rate);
    audioOutput.invRampLength = 1.0f / static_cast<float>(audioOutput.rampLength);
    std::memset(audioOutput.voices, 0, sizeof audioOutput.voices);
    for (int i = 0; i < voiceCount; ++i) {
        audioOutput.voices[i].index = i;
        audioOutput.voices[i].stepInt = 1;
    }
}

}  // namespace quarbtro
