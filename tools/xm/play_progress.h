#pragma once
// Where a song that xmplay plays stands, in frames of the stream written to the sound output:
// where each of its passes ends, so that it stops once the last has been heard. A pause writes
// silence, which moves every end still ahead by its length; a move to another order position
// starts the song afresh there, with the passes not yet heard ending as a new walk says.
// Positions are accurate to the block the playback thread may hold when a pause or a move is
// asked for (2,048 frames).

#include <cstdint>
#include <vector>

namespace quarbtro {

class PlayProgress {
public:
    // The song starts at `written`; its passes end `passEnds` frames after that (cumulative,
    // in order). No ends: it plays until stopped.
    void start(std::int64_t written, const std::vector<std::int64_t>& passEnds);
    void pause(std::int64_t written);
    void resume(std::int64_t written);
    bool paused() const { return paused_; }
    // Passes whose end has been heard.
    int passesHeard(std::int64_t heard) const;
    // The song starts afresh at `written`; the passes not yet heard end `passEnds` after that.
    void move(std::int64_t written, std::int64_t heard, const std::vector<std::int64_t>& passEnds);
    // Whether the end of the last pass has been heard (never, for a song without ends).
    bool over(std::int64_t heard) const;
    // The song's time heard: frames heard since the start, less the silence of pauses.
    std::int64_t elapsed(std::int64_t heard) const;
    // The elapsed time the song will have at its end; -1 when it has none.
    std::int64_t total() const;

private:
    std::int64_t silenceBefore(std::int64_t position) const;

    struct Silence {
        std::int64_t from, to;  // written frames [from, to)
    };
    std::int64_t start_ = 0;
    std::vector<std::int64_t> ends_;  // absolute written frames; passes heard stay in front
    std::vector<Silence> silences_;
    bool paused_ = false;
    std::int64_t pausedAt_ = 0;
};

}  // namespace quarbtro
