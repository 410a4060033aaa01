#pragma once
// Where a song that xmplay plays stands, in frames of the stream written to the sound output
// and in the song's own time: how far into the song (its passes one after another) the sound
// heard is, where the last pass ends, and how long it has played.
//
// A pass ends where the song comes back to a row it has played (song_length.h): the first at
// firstPass frames of song time, each later one laterPass frames after the one before. The
// playing may start inside the first pass (an order position, a time); a move to another order
// position (xmplay's arrows) stays in the pass being heard, so the song's whole time does not
// change. A pause writes silence, which counts neither as song time nor as playing time.
//
// Positions are accurate to the block the playback thread may hold when a pause or a move is
// asked for (2,048 frames).

#include <cstdint>
#include <vector>

namespace quarbtro {

struct SongPasses {
    std::int64_t firstPass;  // frames of the song's first pass
    std::int64_t laterPass;  // frames of each pass after it
    int count;               // passes played; 0: until stopped
};

class PlayProgress {
public:
    // The playing starts at `written` frames of the stream, `songTime` frames into the song,
    // and may go on for at most `playLimit` frames of playing (-1: as long as the song).
    void start(std::int64_t written, std::int64_t songTime, const SongPasses& passes, std::int64_t playLimit = -1);
    void pause(std::int64_t written);
    void resume(std::int64_t written);
    bool paused() const { return paused_; }
    // The song goes on from another order position from `written` on, `framesToPassEnd` before
    // the end of the pass the sound `heard` is in.
    void move(std::int64_t written, std::int64_t heard, std::int64_t framesToPassEnd);
    // Whether the end of the last pass, or of the time allowed, has been heard (never, for a
    // song played until stopped without a limit).
    bool over(std::int64_t heard) const;
    // The song's time at the sound heard (0 at most at its start, the song's whole time at most
    // at its end).
    std::int64_t songTime(std::int64_t heard) const;
    // The song's time at the end of its last pass; -1 when it plays until stopped.
    std::int64_t total() const;
    // Frames of the song heard since the playing started, the silence of pauses not counted.
    std::int64_t played(std::int64_t heard) const;

private:
    std::int64_t passEnd(std::int64_t songTime) const;  // of the pass that songTime is in
    std::int64_t silenceBetween(std::int64_t from, std::int64_t to) const;

    struct Silence {
        std::int64_t from, to;  // written frames [from, to)
    };
    // The song's time at a frame of the stream: from `written` on, it goes on from `songTime`.
    struct Anchor {
        std::int64_t written, songTime;
    };
    SongPasses passes_{};
    std::int64_t start_ = 0;
    std::int64_t limit_ = -1;
    std::vector<Anchor> anchors_;
    std::vector<Silence> silences_;
    bool paused_ = false;
    std::int64_t pausedAt_ = 0;
};

}  // namespace quarbtro
