#include "player/song_length.h"

#include <algorithm>
#include <utility>

#include "player/playback.h"

namespace quarbtro {

namespace {

std::uint64_t mixed(std::uint64_t hash, std::uint64_t value) {
    return (hash ^ value) * 0x100000001B3u;  // FNV-1a step
}

}  // namespace

SongWalk::SongWalk(const Module& module, std::int32_t rate, std::int32_t startOrder, PlaybackProfile profile)
    : module_(module), player_(std::make_unique<Player>()) {
    configureOutput(*player_, rate);
    usePlaybackProfile(*player_, profile);
    started_ = beginPlayback(*player_, &module, startOrder) != 0;
    if (started_ && startOrder != 0) played_ = rowsBefore(module, rate, startOrder, profile);
}

std::unordered_set<std::uint64_t> SongWalk::rowsBefore(const Module& module, std::int32_t rate,
                                                       std::int32_t order, PlaybackProfile profile) {
    SongWalk whole(module, rate, 0, profile);
    const std::int64_t latest = longestPassSeconds * rate;
    for (;;) {
        const SongState& song = whole.player_->song;
        const bool reached = song.tick == 0 && (song.nextOrder >= 0 ? song.nextOrder : song.orderPosition) == order;
        if (reached || whole.frame_ >= latest || whole.atRepeat()) break;
        whole.step();
    }
    return std::move(whole.played_);
}

SongWalk::~SongWalk() { endPlayback(*player_); }

// The row the next row tick plays: its order position and row as the tick will take them
// over, every channel's pattern-loop counter, and the row FT2's next pattern would start at
// (a finished pattern loop leaves it behind, patternLoopAsFt2).
std::uint64_t SongWalk::nextRowKey() const {
    const SongState& song = player_->song;
    const std::int32_t order = song.nextOrder >= 0 ? song.nextOrder : song.orderPosition;
    const std::int32_t row = song.nextRow >= 0 ? song.nextRow : song.row;
    std::uint64_t hash = 0xCBF29CE484222325u;
    hash = mixed(hash, static_cast<std::uint32_t>(order));
    hash = mixed(hash, static_cast<std::uint32_t>(row));
    hash = mixed(hash, static_cast<std::uint32_t>(song.breakRow));
    for (int c = 0; c < module_.channelCount && c < maxChannels; ++c)
        hash = mixed(hash, static_cast<std::uint32_t>(player_->channels[c].loopCount));
    return hash;
}

bool SongWalk::atRepeat() {
    return player_->song.tick == 0 && played_.count(nextRowKey()) != 0;
}

void SongWalk::step() {
    const SongState& song = player_->song;
    tick_ = song.tick;
    if (tick_ == 0) {
        played_.insert(nextRowKey());
        // A pattern loop moves the song's row during the tick: keep the row as played.
        order_ = song.nextOrder >= 0 ? song.nextOrder : song.orderPosition;
        row_ = song.nextRow >= 0 ? song.nextRow : song.row;
    }
    if (player_->onTick != nullptr) player_->onTick(*player_, module_);
    frame_ += song.samplesPerTick;
}

std::int64_t SongWalk::walkPass() {
    if (!started_) return passStart_;
    const std::int64_t latest = passStart_ + longestPassSeconds * player_->outputRate;
    while (frame_ < latest && !atRepeat()) step();
    passStart_ = std::min(frame_, latest);
    played_.clear();
    return passStart_;
}

std::int64_t songFrames(const Module& module, std::int32_t rate, std::int32_t startOrder, std::int32_t passes,
                        PlaybackProfile profile) {
    SongWalk walk(module, rate, startOrder, profile);
    if (!walk.started()) return -1;
    std::int64_t end = 0;
    for (std::int32_t pass = 0; pass < passes; ++pass) end = walk.walkPass();
    return end;
}

}  // namespace quarbtro
