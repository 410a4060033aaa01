#pragma once
// Walking a song tick by tick without mixing: which row each tick belongs to, and when the
// song first comes back to an order position and row it has already played (the natural end,
// a jump back, a song loop). A row that a pattern loop (E6x) plays again is not a repeat: the
// channels' loop counters are part of what "already played" compares, so a loop's passes
// count as the song going on.

#include <cstdint>
#include <unordered_set>

#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

class SongWalk {
public:
    // Starts from the state beginPlayback left on the player.
    SongWalk(Player& player, const Module& module) : player_(player), module_(module) {}

    // Whether the next tick starts a row already played (the song once is over before it).
    bool atRepeat();
    // Runs the next tick (the sequencer only); changes the player's song state, channels and
    // voices as playing would.
    void step();
    // Forgets the rows played so far: the next repeat is the song's next pass coming back.
    void startAnotherPass() { played_.clear(); }

    std::int64_t frame() const { return frame_; }      // frames before the next tick
    std::int32_t order() const { return order_; }      // of the last tick's row
    std::int32_t row() const { return row_; }
    std::int32_t tick() const { return tick_; }        // the last tick within its row

private:
    std::uint64_t nextRowKey() const;

    Player& player_;
    const Module& module_;
    std::unordered_set<std::uint64_t> played_;
    std::int64_t frame_ = 0;
    std::int32_t order_ = 0;
    std::int32_t row_ = 0;
    std::int32_t tick_ = 0;
};

// The frame at which the song, started on the player, has come back to a row it played
// `passes` times (once: its natural length), or capFrames when that does not happen before.
// Leaves the song where the walk stopped.
std::int64_t framesUntilRepeat(Player& player, const Module& module, std::int64_t capFrames,
                               std::int32_t passes = 1);

}  // namespace quarbtro
