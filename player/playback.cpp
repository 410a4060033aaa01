#include "player/playback.h"

#include <cstdlib>
#include <cstring>

#include "player/audio_output.h"
#include "player/channel.h"
#include "player/extended_precision.h"

namespace quarbtro {

std::int32_t samplesPerTickAt(std::int32_t rate, std::int32_t bpm) {
    if (bpm < 1) bpm = 1;
    long double ticks = static_cast<long double>(bpm) * 2;
    ticks /= 5;
    ticks = 1000 / ticks;
    ticks *= rate;
    ticks /= 1000;
    const std::int32_t frames = static_cast<std::int32_t>(ticks);
    return frames < 1 ? 1 : frames;  // a tick of no frames would never let the renderer on
}

void setBpm(Module* module, std::int32_t bpm) {
    module->bpm = bpm;
    module->samplesPerTick = samplesPerTickAt(audioOutput.outputRate, bpm);
}

int beginPlayback(Module* module) {
    if (module == nullptr || module->channelCount < 0 || module->channelCount > maxChannels) return 0;
    void* allocation = std::calloc(static_cast<std::size_t>(audioOutput.blockFrames) * 8 + 256, 1);
    if (allocation == nullptr) return 0;
    endPlayback();

    module->row = 0;
    module->nextOrder = -1;
    module->nextRow = -1;
    module->rowCells = nullptr;
    module->globalVolume = module->initialGlobalVolume;
    module->orderPosition = 0;
    module->speed = module->defaultSpeed;
    module->patternDelayTicks = 0;
    module->samplesLeftInTick = 0;
    module->tick = 0;
    module->playedMs = 0;
    if (module->onStart != nullptr) module->onStart(module);
    setBpm(module, module->defaultBpm);

    for (int i = 0; i < module->channelCount; ++i) {
        channels[i] = Channel{};
        channels[i].voice = &audioOutput.voices[i];
    }
    audioOutput.currentModule = module;
    audioOutput.mixBufferAllocation = allocation;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(allocation);
    audioOutput.mixBuffer = reinterpret_cast<float*>((address + 15) & ~std::uintptr_t{15});
    audioOutput.publishedOrderPosition.store(0);
    audioOutput.publishedRow.store(0);
    audioOutput.publishedPlayedMs.store(0);
    return 1;
}

void endPlayback() {
    std::free(audioOutput.mixBufferAllocation);
    audioOutput.mixBufferAllocation = nullptr;
    audioOutput.mixBuffer = nullptr;
    audioOutput.currentModule = nullptr;
}

std::int32_t getOrderPosition(const Module* module) {
    return module == nullptr ? 0 : audioOutput.publishedOrderPosition.load();
}

std::int32_t getRow(const Module* module) {
    return module == nullptr ? 0 : audioOutput.publishedRow.load();
}

std::int32_t getPlayedMs(const Module* module) {
    return module == nullptr ? 0 : audioOutput.publishedPlayedMs.load();
}

}  // namespace quarbtro
