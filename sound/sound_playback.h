#pragma once
// The playback thread and the audio clock: a thread renders the song one block of 2,048 frames
// at a time from a Player and hands it to a sound output (sound_output.h), and the clock is the
// audio heard: the frames the output has taken less those it still holds, in centiseconds.
//
// Exact counting. The thread waits for room (at most 100 ms at a time), writes what fits, and
// adds what the output took to framesWritten under the playback's lock; the clock's reader
// takes the same lock around its queue query. So written − queued never counts audio that is
// still waiting for room, and each reading sees the count and the queue of the same moment.
//
// Faults. An output that fails is given its recovery (an underrun is over once the device
// takes frames again). One that keeps failing with nothing taken for half a second, or whose
// recovery fails, is lost: the thread closes it, goes on with the null sink (which keeps time
// on the monotonic clock) from the last position heard, and says why in soundLostReason. A
// stalled sound server is not a fault: the thread waits for room in slices of 100 ms and
// looks at stopRequested between them, so a stop never waits longer than that.
//
// The state, and who writes it on which thread. The controlling thread is the one that
// prepares, starts and stops playback (the intro's main thread, a tool's only thread); it may
// read the clock too. The playback thread is the one startPlayback creates.
//
// - player: configured by preparePlayback, started and stopped by startPlayback and
//   stopPlayback on the controlling thread; rendered only by the playback thread while it
//   runs. Its position getters (playback.h) may be read on any thread.
// - lock: guards output, framesWritten and lastHeardFrames.
// - output, framesWritten: written by preparePlayback and closePlayback (no thread running) and
//   by the playback thread (each write's count; the swap to the null sink when the sound is
//   lost). The clock's reader asks the output's queue under the lock.
// - lastHeardFrames: written by the clock's reader, read when the sound is lost.
// - stopRequested: set by stopPlayback, cleared by startPlayback before the thread starts;
//   read by the playback thread between waits.
// - pauseRequested, orderRequested: set by the controlling thread at any time, taken up by the
//   playback thread before its next block.
// - soundLost and lossReason: written once by the playback thread (the reason first), read on
//   any thread once soundLost reads true.
// - thread, threadRunning: the controlling thread's alone.

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "player/module.h"
#include "player/player.h"
#include "sound/sound_output.h"

namespace quarbtro {

struct SoundPlayback {
    Player player;

    std::mutex lock;
    SoundOutput output;                // the device; the null sink once the sound is lost
    std::uint64_t framesWritten;       // frames the output has taken since preparePlayback
    std::uint64_t lastHeardFrames;     // the last position the clock's reader computed

    std::atomic<bool> stopRequested;
    std::atomic<bool> pauseRequested;  // while set, the thread plays silence and the song waits
    std::atomic<std::int32_t> orderRequested;  // an order position to move to; -1: none

    std::atomic<bool> soundLost;
    std::string lossReason;            // e.g. "alsa: Input/output error"

    std::thread thread;
    bool threadRunning;
};

// The position heard, and the clock computed from it.
struct HeardPosition {
    std::uint64_t frames;      // frames heard since preparePlayback
    std::int32_t centiseconds;  // PlaybackClock's value: frames × 4 bytes ÷ 176,400 × 100
};

// Takes an open output (which the playback then owns and closes) and configures the player for
// its granted rate, silencing every voice; counting starts from 0. No thread may be running.
void preparePlayback(SoundPlayback& playback, const SoundOutput& output);

// Stops any playback, starts the song on the player at an order position (its beginning unless
// asked) and creates the playback thread, whose first block is already of that order. 1 when
// playback was set up (also when the thread could not be created: then nothing plays and the
// clock stands still), 0 for a null module, one the player cannot play or an order position
// outside the song. The module is only read; it must stay loaded until the playback stops.
int startPlayback(SoundPlayback& playback, const Module* module, std::int32_t startOrder = 0);
// Stops the playback thread (within about 100 ms whatever the device does) and ends the
// playing on the player. The output stays open. 0 for a null module, else 1.
int stopPlayback(SoundPlayback& playback, const Module* module);
// Stops the thread if it runs and closes the output.
void closePlayback(SoundPlayback& playback);

// The audio heard so far; on any thread.
HeardPosition heardPosition(SoundPlayback& playback);
// Its centiseconds.
int playbackClock(SoundPlayback& playback);

// While paused the output gets silence and the song stands; resuming goes on where it stood.
void setPaused(SoundPlayback& playback, bool paused);
// Moves the song to the start of an order position before the next block (positions outside
// the song are ignored).
void moveToOrder(SoundPlayback& playback, std::int32_t orderPosition);

}  // namespace quarbtro
