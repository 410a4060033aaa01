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
    const SongState& song = player_.song;
    const std::int32_t order = song.nextOrder >= 0 ? song.nextOrder : song.orderPosition;
    const std::int32_t row = song.nextRow >= 0 ? song.nextRow : song.row;
    std::uint64_t hash = 0xCBF29CE484222325u;
    hash = mixed(hash, static_cast<std::uint32_t>(order));
    hash = mixed(hash, static_cast<std::uint32_t>(row));
    for (int c = 0; c < module_.channelCount && c < maxChannels; ++c)
        hash = mixed(hash, static_cast<std::uint32_t>(player_.channels[c].loopCount));
    return hash;
}

bool SongWalk::atRepeat() {
    return player_.song.tick == 0 && played_.count(nextRowKey()) != 0;
}

void SongWalk::step() {
    const SongState& song = player_.song;
    tick_ = song.tick;
    if (tick_ == 0) {
        played_.insert(nextRowKey());
        // A pattern loop moves the song's row during the tick: keep the row as played.
        order_ = song.nextOrder >= 0 ? song.nextOrder : song.orderPosition;
        row_ = song.nextRow >= 0 ? song.nextRow : song.row;
    }
    if (player_.onTick != nullptr) player_.onTick(player_, module_);
    frame_ += song.samplesPerTick;
}

std::int64_t framesUntilRepeat(Player& player, const Module& module, std::int64_t capFrames,
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
