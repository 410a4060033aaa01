#pragma once
// Walking a song tick by tick without mixing: which row each tick belongs to, and when the
// song first comes back to an order position and row it has already played (the natural end,
// a jump back, a song loop). A row that a pattern loop (E6x) plays again is not a repeat: the
// channels' loop counters are part of what "already played" compares, so a loop's passes
// count as the song going on.
//
// A walk that starts at an order position other than 0 plays from there to the song's end:
// the rows the song plays before it first reaches that position count as played already, so
// the pass ends where the song would go back to them (a song of 19 order positions started at
// 13 plays 13 to 18, not 13 to 18 and then 0 to 12). A position the song never reaches from
// its start plays until it comes to any row the song plays.
//
// A walk plays the song on a Player of its own, so it may run while the same module plays
// elsewhere (xmplay walks the song it is playing to know its length). Everything runs on the
// calling thread.

#include <cstdint>
#include <memory>
#include <unordered_set>

#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

// A pass of the song ends at the latest this long after it began: a song that never comes back
// to a row it has played is taken to be this long.
inline constexpr std::int64_t longestPassSeconds = 20 * 60;

class SongWalk {
public:
    // Starts the song from an order position on the walk's own player at a rate (which sets the
    // tick lengths, and so the frames counted), played by a profile's rules; the first pass ends
    // at the song's end. started() says whether that worked.
    explicit SongWalk(const Module& module, std::int32_t rate = defaultOutputRate, std::int32_t startOrder = 0,
                      PlaybackProfile profile = PlaybackProfile::design);
    ~SongWalk();
    SongWalk(const SongWalk&) = delete;
    SongWalk& operator=(const SongWalk&) = delete;

    // False when the player cannot play the module or the start order is not in the song.
    bool started() const { return started_; }

    // Whether the next tick starts a row already played in this pass (the pass is over before
    // it).
    bool atRepeat();
    // Runs the next tick (the sequencer only), as playing would.
    void step();
    // Walks on to the end of the pass under way: until the song comes back to a row it has
    // played in this pass, or the pass has lasted longestPassSeconds. Returns the frame where
    // the pass ended, counted from the start order, and begins the next pass there (0, walking
    // nothing, when the walk has not started).
    std::int64_t walkPass();

    std::int64_t frame() const { return frame_; }      // frames before the next tick
    std::int32_t order() const { return order_; }      // of the last tick's row
    std::int32_t row() const { return row_; }
    std::int32_t tick() const { return tick_; }        // the last tick within its row
    std::int32_t rate() const { return player_->outputRate; }
    // The state the last tick left: the song's position and tempo, each channel and voice.
    const Player& player() const { return *player_; }

private:
    std::uint64_t nextRowKey() const;
    // The rows the song plays from its start before it first reaches an order position (all
    // of its first pass when it never does).
    static std::unordered_set<std::uint64_t> rowsBefore(const Module& module, std::int32_t rate,
                                                        std::int32_t order, PlaybackProfile profile);

    const Module& module_;
    std::unique_ptr<Player> player_;
    bool started_ = false;
    std::unordered_set<std::uint64_t> played_;
    std::int64_t frame_ = 0;
    std::int64_t passStart_ = 0;
    std::int32_t order_ = 0;
    std::int32_t row_ = 0;
    std::int32_t tick_ = 0;
};

// The frame (at a rate) at which the song, started at an order position and played by a
// profile's rules, ends its `passes`-th pass (see SongWalk::walkPass); -1 when it cannot be
// played from there.
std::int64_t songFrames(const Module& module, std::int32_t rate = defaultOutputRate, std::int32_t startOrder = 0,
                        std::int32_t passes = 1, PlaybackProfile profile = PlaybackProfile::design);

}  // namespace quarbtro
