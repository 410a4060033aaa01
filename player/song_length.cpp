#include "player/song_length.h"


namespace quarbtro {

namespace {

std::uint64_t mixed(std::uint64_t hash, std::uint64_t value) {
    return (hash ^ value) * 0x100000001B3u;  // FNV-1a step
}

}  // namespace

// The row the next row tick plays: its order position and row as the tick will take them
// over, and every channel's pattern-loop counter.
std::uint64_t SongWalk::nextRowKey() const {
    const std::int32_t order = module_.nextOrder >= 0 ? module_.nextOrder : module_.orderPosition;
    const std::int32_t row = module_.nextRow >= 0 ? module_.nextRow : module_.row;
    std::uint64_t hash = 0xCBF29CE484222325u;
    hash = mixed(hash, static_cast<std::uint32_t>(order));
    hash = mixed(hash, static_cast<std::uint32_t>(row));
    for (int c = 0; c < module_.channelCount && c < maxChannels; ++c)
        hash = mixed(hash, static_cast<std::uint32_t>(player_.channels[c].loopCount));
    return hash;
}

bool SongWalk::atRepeat() {
    return module_.tick == 0 && played_.count(nextRowKey()) != 0;
}

void SongWalk::step() {
    tick_ = module_.tick;
    if (tick_ == 0) {
        played_.insert(nextRowKey());
        // A pattern loop moves the module's row during the tick: keep the row as played.
        order_ = module_.nextOrder >= 0 ? module_.nextOrder : module_.orderPosition;
        row_ = module_.nextRow >= 0 ? module_.nextRow : module_.row;
    }
    if (module_.onTick != nullptr) module_.onTick(player_, module_);
    frame_ += module_.samplesPerTick;
}

std::int64_t framesUntilRepeat(Player& player, Module& module, std::int64_t capFrames,
                               std::int32_t passes) {
    SongWalk walk(player, module);
    for (std::int32_t pass = 1;; ++pass) {
        while (walk.frame() < capFrames && !walk.atRepeat()) walk.step();
        if (walk.frame() >= capFrames) return capFrames;
        if (pass >= passes) return walk.frame();
        walk.startAnotherPass();
    }
}

}  // namespace quarbtro
