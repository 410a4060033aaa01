#pragma once
// The playback thread and the playback clock: a thread renders the song one block of 2,048 frames
// at a time from a Player and hands it to a sound output (sound_output.h), and the clock is the
// audio heard: the frames the output has taken less those it still holds, in centiseconds.
//
// Exact counting. The thread waits for room (at most 100 ms at a time), writes what fits, and
// adds what the output took to framesWritten under the playback's lock; the clock's reader
// takes the same lock around its queue query. So written − queued never counts audio that is
// still waiting for room, and each reading sees the count and the queue of the same moment.
//
// The clock never steps back. A device may report a position heard lower than one it reported
// before (PipeWire's ALSA plugin does under load); the clock then stays where it was until the
// sound catches up. Both positions are kept: the one the device reported and the clock's.
//
// Faults. An output that fails is given its recovery (an underrun is over once the device
// takes frames again). Audio the recovery dropped unplayed (PipeWire's, after a stall) is
// taken off the count, as it was never heard, and handed to the output again: the sound goes
// on where it stopped, and the clock with it. One that keeps failing with nothing taken for
// half a second, or whose recovery fails, is lost. Two more are found by the pace of the
// sound: a device that has played nothing 3 s after it took its first frame (a sound server
// stalled before the start), and one that takes audio faster than real time, by more than a
// device's drift and queue allow (ALSA's null plugin). In each case the thread closes the
// output and goes on with the null sink (which keeps time on the monotonic clock), and says
// which fault and why in fault and faultReason. A server that stalls once playing is not a
// fault: the thread waits for room in slices of 100 ms and looks at stopRequested between
// them, so a stop never waits longer than that.
//
// Priority. The thread needs little processor time, but promptly: where the system allows it
// (root, or an rtprio limit such as PipeWire's packages give their group) it runs under
// SCHED_FIFO at the lowest priority, above every ordinary thread (the frame loop, the GL
// driver's, other programs') and below a sound server's own. Elsewhere it stays as it was.
// The device is opened on a thread at the same priority (openSoundOutput), because some
// plugins carry the audio on a thread of their own, started inside the open, which inherits
// its priority: PulseAudio's ALSA plugin does, and its thread starved meant the server's
// stream ran dry while the playback thread waited for room.
// The lock it shares with the clock's readers passes its priority on (priority_mutex.h): a
// reader preempted while holding it cannot keep the thread waiting behind ordinary threads.
//
// The state, and who writes it on which thread. The controlling thread is the one that
// prepares, starts and stops playback (the intro's main thread, a tool's only thread); it may
// read the clock too. The playback thread is the one startPlayback creates.
//
// - player: configured by preparePlayback, started and stopped by startPlayback and
//   stopPlayback on the controlling thread; rendered only by the playback thread while it
//   runs. Its position getters (playback.h) may be read on any thread.
// - monotonicNs: set before startPlayback, if at all (tests do, to decide the time the fault
//   checks see).
// - lock: guards output, framesWritten, reportedFrames, heardFrames and the blocks' positions.
// - output, framesWritten: written by preparePlayback and closePlayback (no thread running) and
//   by the playback thread (each write's count; what a recovery dropped; the swap to the null
//   sink). Whoever reads the position asks the output's queue under the lock.
// - reportedFrames, heardFrames: written by whoever reads the position (heardPosition), under
//   the lock; reportedFrames also by the playback thread when it swaps to the null sink.
// - startedNs, startConfirmed, recent: the playback thread's (and preparePlayback's).
// - blockPositions, blockCount: written by the playback thread as each block rendered starts
//   into the output, read by heardSongPosition on any thread.
// - stopRequested: set by stopPlayback, cleared by startPlayback before the thread starts;
//   read by the playback thread between waits.
// - pauseRequested, orderRequested: set by the controlling thread at any time, taken up by the
//   playback thread before its next block.
// - fault and faultReason: written by preparePlayback and prepareSilentPlayback (no thread
//   running) and at most once by the playback thread (the reason first); read on any thread
//   once fault reads other than none.
// - thread, threadRunning: the controlling thread's alone.

#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/module.h"
#include "player/playback.h"
#include "player/player.h"
#include "sound/priority_mutex.h"
#include "sound/sound_output.h"

namespace quarbtro {

// Why the playback thread went on with the null sink instead of the device.
enum class SoundFault : std::int32_t {
    none,
    lost,         // the device failed for good while playing (its sound server killed, say)
    neverPlayed,  // nothing heard 3 s after it took its first frame, or it did not open in time
                  // (prepareSilentPlayback): a sound server that stopped answering
    tooFast,      // it took audio faster than real time (ALSA's null plugin)
};

// The last frames the output took, in a ring: what a recovery drops is handed over again
// from here.
struct RecentFrames {
    std::vector<std::int16_t> samples;  // `capacity` frames, interleaved
    std::int32_t channels;
    std::int64_t capacity;              // frames: the output's queue
    std::uint64_t taken;                // frames kept since preparePlayback; the newest at the end
    std::int64_t toReplay;              // frames at the end to hand to the output again
};

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonicNowNs();

// Where the song stood after a block, as the player published it, and the first frame of the
// stream that the block fills.
struct BlockPosition {
    std::uint64_t firstFrame;
    std::int32_t order, row;
    PlayingState playing;
};

struct SoundPlayback {
    Player player;
    std::function<std::int64_t()> monotonicNs = monotonicNowNs;  // the time the fault checks see

    PriorityInheritanceMutex lock;     // the thread's priority passes to whoever holds it
    SoundOutput output;                // the device; the null sink after a fault
    std::uint64_t framesWritten;       // frames the output has taken since preparePlayback, less
                                       // those a recovery dropped
    std::uint64_t reportedFrames;      // the position heard as the output last reported it
    std::uint64_t heardFrames;         // the clock's: the highest position reported so far

    std::int64_t startedNs;            // monotonicNs when the output took its first frame; -1 before
    bool startConfirmed;               // something has been heard
    RecentFrames recent;
    // The last blocks rendered (a ring: block n in slot n % size): more than any output holds.
    BlockPosition blockPositions[64];
    std::uint64_t blockCount;          // blocks rendered since the song started

    std::atomic<bool> stopRequested;
    std::atomic<bool> pauseRequested;  // while set, the thread plays silence and the song waits
    std::atomic<std::int32_t> orderRequested;  // an order position to move to; -1: none

    std::atomic<SoundFault> fault;
    std::string faultReason;           // e.g. "alsa: Input/output error"

    std::thread thread;
    bool threadRunning;
};

// The position heard, and the clock computed from it.
struct HeardPosition {
    std::uint64_t reported;  // frames heard since preparePlayback, as the output reports it now
    std::uint64_t frames;    // the clock's position: never lower than at an earlier reading
    std::int32_t clock;      // PlaybackClock's centiseconds: frames × 4 bytes ÷ 176,400 × 100
};

// Takes an open output (which the playback then owns and closes) and configures the player for
// its granted rate, silencing every voice; counting starts from 0. No thread may be running.
void preparePlayback(SoundPlayback& playback, const SoundOutput& output);

// Stops any playback, starts the song on the player at an order position (its beginning unless
// asked) and creates the playback thread, whose first block is already of that order. 1 when
// playback was set up (also when the thread could not be created: then nothing plays and the
// clock stands still), 0 for a null module, one the player cannot play or an order position
// outside the song. The module is only read; it must stay loaded until the playback stops.
// `skipFrames` of the song from there are rendered first and not played, a block at a time:
// the playing starts at most a block (2,048 frames) before them.
int startPlayback(SoundPlayback& playback, const Module* module, std::int32_t startOrder = 0,
                  std::int64_t skipFrames = 0);
// Stops the playback thread (within about 100 ms whatever the device does) and ends the
// playing on the player. The output stays open. 0 for a null module, else 1.
int stopPlayback(SoundPlayback& playback, const Module* module);
// Stops the thread if it runs and closes the output.
void closePlayback(SoundPlayback& playback);
// For a device that could not be had because it did not answer in time: the null sink keeps
// time instead, and the fault (neverPlayed) says why. Counting starts from 0.
void prepareSilentPlayback(SoundPlayback& playback, const SoundFormat& format, const std::string& reason);

// The audio heard so far; on any thread.
HeardPosition heardPosition(SoundPlayback& playback);

// Whether `framesHeard` frames at `rate` Hz, `elapsedNs` after the device took its first frame,
// are more than a device playing in real time can have played: its drift (1 %) and the start
// of its stream (50 ms) allowed for, and a whole queue of `queueFrames` besides, which a
// device may report played at once (PulseAudio's plugin does while its server stalls).
bool fasterThanRealTime(std::uint64_t framesHeard, std::int64_t elapsedNs, std::int32_t rate,
                        std::int32_t queueFrames);

// Where the song stood in the block being heard (the position a player publishes runs a
// queue's length ahead of what is heard): order, row, speed, BPM and channels sounding as
// after that block. Before the first block is heard, the first block's; false when no block
// has been rendered since the song started.
bool heardSongPosition(SoundPlayback& playback, BlockPosition& heard);

// While paused the output gets silence and the song stands; resuming goes on where it stood.
void setPaused(SoundPlayback& playback, bool paused);
// Moves the song to the start of an order position before the next block (positions outside
// the song are ignored).
void moveToOrder(SoundPlayback& playback, std::int32_t orderPosition);

}  // namespace quarbtro
