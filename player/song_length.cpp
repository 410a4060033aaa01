#include "player/song_length.h"

#include <unordered_set>

#include "player/channel.h"

namespace quarbtro {

namespace {

std::uint64_t mixed(std::uint64_t hash, std::uint64_t value) {
    return (hash ^ value) * 0x100000001B3u;  // FNV-1a step
}

// What identifies the row the next row tick plays: its order position and row, as the tick
// will take them over, and every channel's pattern-loop counter.
std::uint64_t rowKey(const Module& module) {
    const std::int32_t order = module.nextOrder >= 0 ? module.nextOrder : module.orderPosition;
    const std::int32_t row = module.nextRow >= 0 ? module.nextRow : module.row;
    std::uint64_t hash = 0xCBF29CE484222325u;
    hash = mixed(hash, static_cast<std::uint32_t>(order));
    hash = mixed(hash, static_cast<std::uint32_t>(row));
    for (int c = 0; c < module.channelCount && c < maxChannels; ++c)
        hash = mixed(hash, static_cast<std::uint32_t>(channels[c].loopCount));
    return hash;
}

}  // namespace

std::int64_t framesUntilRepeat(Module& module, std::int64_t capFrames) {
    std::unordered_set<std::uint64_t> played;
    std::int64_t frame = 0;
    while (frame < capFrames) {
        if (module.tick == 0 && !played.insert(rowKey(module)).second) return frame;
        if (module.onTick != nullptr) module.onTick(&module);
        frame += module.samplesPerTick;
    }
    return capFrames;
}

}  // namespace quarbtro
