#include "player/playback.h"

#include <cstdlib>
#include <cstring>

#include "player/channel.h"
#include "player/extended_precision.h"
#include "player/sequencer.h"

namespace quarbtro {

namespace {

void takeFinetunes(Player& player, const Module& module) {
    std::memset(player.sampleFinetunes, 0, sizeof player.sampleFinetunes);
    if (module.instruments == nullptr) return;
    for (int i = 0; i < module.instrumentCount && i < maxInstruments; ++i) {
        const Instrument& instrument = module.instruments[i];
        for (int slot = 0; slot < maxSamplesPerInstrument; ++slot)
            if (instrument.samples[slot] != nullptr)
                player.sampleFinetunes[i][slot] = instrument.samples[slot]->finetune;
    }
}

// Order 0 names a pattern even in a song of length 0.
bool isOrderInSong(const Module& module, std::int32_t orderPosition) {
    return orderPosition == 0 || (orderPosition > 0 && orderPosition < module.songLength);
}

}  // namespace

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

void setBpm(Player& player, std::int32_t bpm) {
    player.song.bpm = bpm;
    player.song.samplesPerTick = samplesPerTickAt(player.outputRate, bpm);
}

int beginPlayback(Player& player, const Module* module, std::int32_t startOrder) {
    if (module == nullptr || module->channelCount < 0 || module->channelCount > maxChannels) return 0;
    if (!isOrderInSong(*module, startOrder)) return 0;
    void* allocation = std::calloc(static_cast<std::size_t>(player.blockFrames) * 8 + 256, 1);
    if (allocation == nullptr) return 0;
    endPlayback(player);

    SongState& song = player.song;
    song = SongState{};
    // The first tick takes the start over, as it takes a jump's target.
    song.nextOrder = startOrder;
    song.nextRow = 0;
    song.globalVolume = module->initialGlobalVolume;
    song.speed = module->defaultSpeed;
    setBpm(player, module->defaultBpm);
    if (player.onTick == nullptr) player.onTick = sequencerTick;
    player.rules = playbackRules(player.profile, *module);

    for (int i = 0; i < module->channelCount; ++i) {
        player.channels[i] = Channel{};
        player.channels[i].voice = &player.voices[i];
    }
    takeFinetunes(player, *module);
    player.renderedFrames = 0;
    player.clippedSamples = 0;
    player.currentModule = module;
    player.mixBufferAllocation = allocation;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(allocation);
    player.mixBuffer = reinterpret_cast<float*>((address + 15) & ~std::uintptr_t{15});
    player.publishedOrderPosition.store(0);
    player.publishedRow.store(0);
    player.publishedPlayedMs.store(0);
    player.publishedSpeed.store(static_cast<std::uint8_t>(song.speed));
    player.publishedBpm.store(static_cast<std::uint8_t>(song.bpm));
    player.publishedSoundingChannels.store(0);
    return 1;
}

int startAtOrder(Player& player, std::int32_t orderPosition) {
    if (player.currentModule == nullptr || !isOrderInSong(*player.currentModule, orderPosition)) return 0;
    player.song.nextOrder = orderPosition;
    player.song.nextRow = 0;
    return 1;
}

void endPlayback(Player& player) {
    std::free(player.mixBufferAllocation);
    player.mixBufferAllocation = nullptr;
    player.mixBuffer = nullptr;
    player.currentModule = nullptr;
}

std::int32_t getOrderPosition(const Player& player, const Module* module) {
    return module == nullptr ? 0 : player.publishedOrderPosition.load();
}

std::int32_t getRow(const Player& player, const Module* module) {
    return module == nullptr ? 0 : player.publishedRow.load();
}

std::int32_t getPlayedMs(const Player& player, const Module* module) {
    return module == nullptr ? 0 : player.publishedPlayedMs.load();
}

PlayingState getPlayingState(const Player& player, const Module* module) {
    if (module == nullptr) return {};
    return {player.publishedSpeed.load(), player.publishedBpm.load(), player.publishedSoundingChannels.load()};
}

}  // namespace quarbtro
