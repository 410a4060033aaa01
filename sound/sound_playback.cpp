#include "sound/sound_playback.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <system_error>

#include "player/playback.h"
#include "player/render.h"
#include "sound/playback_clock.h"

namespace quarbtro {

std::int64_t monotonicNowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool fasterThanRealTime(std::uint64_t framesHeard, std::int64_t elapsedNs, std::int32_t rate,
                        std::int32_t queueFrames) {
    // A device's clock drifts by well under 1 %; its stream may start up to 50 ms early.
    const long double playable = (elapsedNs * 1.01L + 50e6L) * rate / 1e9L + queueFrames;
    return static_cast<long double>(framesHeard) > playable;
}

namespace {

// The longest a wait for room lasts: how soon the thread sees a stop during a stall.
constexpr int roomWaitMs = 100;
// How long an output may keep failing, with nothing taken, before the sound counts as lost.
// PipeWire recovers from a stall with a handful of underruns within milliseconds; a killed
// PipeWire fails every write at once, for good.
constexpr std::int64_t lossAfterNs = 500000000;
// How long a device may hold what it took without playing any of it: a stalled server's.
constexpr std::int64_t neverPlayedAfterNs = 3000000000;
// The pause between two attempts on a failing output: one that fails at once on every call (a
// killed PipeWire's) would otherwise be retried in a busy loop, at real-time priority, for the
// half second before it counts as lost.
constexpr useconds_t faultRetryUs = 10000;

std::string describe(const SoundOutput& output, long error) {
    return std::string(output.backend ? output.backend->name : "?") + ": " +
           std::strerror(static_cast<int>(-error));
}

void remember(RecentFrames& recent, const std::int16_t* samples, long frames) {
    if (recent.capacity == 0) return;
    for (long i = 0; i < frames; ++i) {
        const auto at = static_cast<std::size_t>((recent.taken + static_cast<std::uint64_t>(i)) %
                                                 static_cast<std::uint64_t>(recent.capacity));
        std::copy_n(samples + i * recent.channels, recent.channels,
                    recent.samples.begin() + static_cast<std::ptrdiff_t>(at) * recent.channels);
    }
    recent.taken += static_cast<std::uint64_t>(frames);
}

// After a recovery dropped `frames`: the newest frames kept, up to the ring's size, are to be
// handed over again (after what still waits from an earlier one).
void replayDropped(RecentFrames& recent, std::int64_t frames) {
    const auto kept = static_cast<std::int64_t>(std::min<std::uint64_t>(recent.taken, recent.capacity));
    recent.toReplay = std::min(recent.toReplay + frames, kept);
}

// Hands the output the oldest frames still to be replayed, as many as fit in `room` and run on
// without wrapping round the ring; the frames taken, or a negative errno.
long writeAgain(SoundOutput& output, RecentFrames& recent, long room) {
    const std::uint64_t first = (recent.taken - static_cast<std::uint64_t>(recent.toReplay)) %
                                static_cast<std::uint64_t>(recent.capacity);
    const std::int64_t untilWrap = recent.capacity - static_cast<std::int64_t>(first);
    const long frames =
        static_cast<long>(std::min({static_cast<std::int64_t>(room), recent.toReplay, untilWrap}));
    const long taken = output.backend->write(output, recent.samples.data() + first * recent.channels, frames);
    if (taken > 0) recent.toReplay -= taken;
    return taken;
}

// The null sink, opened at once (it has no device to wait for); not open only when out of memory.
SoundOutput nullSink(const SoundFormat& format) {
    SoundOutput silence{};
    OutputError ignored;
    if (nullBackend.open(silence, format, nullptr, ignored)) silence.backend = &nullBackend;
    return silence;
}

// From here on the null sink keeps time, counting on from `position` (what the device still
// held is dropped); the clock stays where it was until the null sink's position passes it.
void goOnWithNullSink(SoundPlayback& playback, SoundFault fault, const std::string& reason,
                      std::uint64_t position) {
    SoundOutput device;
    {
        std::lock_guard guard(playback.lock);
        device = playback.output;
        playback.output = nullSink(device.format);
        playback.framesWritten = position;
        playback.reportedFrames = position;
        playback.recent.toReplay = 0;
    }
    closeSoundOutput(device);
    playback.faultReason = reason;
    playback.fault.store(fault, std::memory_order_release);
}

// The output failed for good: the null sink counts on from the clock's position.
void loseSound(SoundPlayback& playback, long error) {
    std::uint64_t heard;
    {
        std::lock_guard guard(playback.lock);
        heard = playback.heardFrames;
    }
    goOnWithNullSink(playback, SoundFault::lost, describe(playback.output, error), heard);
}

// After each attempt to deliver: the pace of the sound tells a device that plays nothing and
// one that takes audio faster than it can be played. The null sink keeps time itself.
void watchPace(SoundPlayback& playback) {
    if (playback.startedNs < 0 || playback.output.backend == &nullBackend) return;
    const std::int64_t elapsedNs = playback.monotonicNs() - playback.startedNs;
    const std::int32_t rate = playback.output.format.rate;
    const std::int32_t queue = playback.output.bufferFrames;
    const SoundBackend& device = *playback.output.backend;
    // Only this thread writes framesWritten: no lock needed to read it here.
    if (fasterThanRealTime(playback.framesWritten, elapsedNs, rate, queue)) {
        const HeardPosition heard = heardPosition(playback);
        if (fasterThanRealTime(heard.reported, elapsedNs, rate, queue)) {
            // On from where a device playing in real time would be.
            const auto playable = static_cast<std::uint64_t>(elapsedNs * static_cast<long double>(rate) / 1e9L);
            goOnWithNullSink(playback, SoundFault::tooFast,
                             std::string(device.device) +
                                 " takes audio faster than it can be played (ALSA's null plugin?)",
                             std::min(heard.frames, playable));
            return;
        }
    }
    if (playback.startConfirmed || elapsedNs < neverPlayedAfterNs) return;
    if (heardPosition(playback).reported > 0) {
        playback.startConfirmed = true;
        return;
    }
    goOnWithNullSink(playback, SoundFault::neverPlayed,
                     std::string(device.device) +
                         " played nothing in 3 s (a sound server that has stopped answering?)",
                     0);
}

// Hands one block to the output, as the output takes it. Returns early when a stop is asked.
void deliver(SoundPlayback& playback, const std::int16_t* samples, long frames) {
    const int channels = playback.output.format.channels;
    long done = 0;
    std::int64_t failingSince = -1;
    while (done < frames && !playback.stopRequested) {
        SoundOutput& output = playback.output;  // only this thread replaces it
        if (output.backend == nullptr) {  // not even the null sink could be had: nothing plays
            usleep(roomWaitMs * 1000);
            return;
        }
        long result = output.backend->waitForRoom(output, roomWaitMs);
        if (result > 0) {
            std::lock_guard guard(playback.lock);
            RecentFrames& recent = playback.recent;
            if (recent.toReplay > 0) {
                result = writeAgain(output, recent, result);
            } else {
                const std::int16_t* from = samples + done * channels;
                result = output.backend->write(output, from, std::min(result, frames - done));
                if (result > 0) {
                    remember(recent, from, result);
                    done += result;
                }
            }
            if (result > 0) playback.framesWritten += static_cast<std::uint64_t>(result);
        }
        if (result > 0) {
            if (playback.startedNs < 0) playback.startedNs = playback.monotonicNs();
            failingSince = -1;
        }
        if (result >= 0) {  // taken, or no room yet: a full queue, or a stalled server
            watchPace(playback);
            continue;
        }
        const std::int64_t now = playback.monotonicNs();
        if (failingSince < 0) failingSince = now;
        int recovered;
        {
            std::lock_guard guard(playback.lock);
            recovered = output.backend->recover(output, static_cast<int>(result));
            // What the recovery dropped was never heard; it is handed over again.
            if (recovered > 0) {
                playback.framesWritten -= std::min<std::uint64_t>(static_cast<std::uint64_t>(recovered),
                                                                  playback.framesWritten);
                replayDropped(playback.recent, recovered);
            }
        }
        if (recovered < 0 || now - failingSince >= lossAfterNs) {
            loseSound(playback, result);
            failingSince = -1;
        } else {
            usleep(faultRetryUs);
        }
    }
}

void applyRequests(SoundPlayback& playback) {
    const std::int32_t order = playback.orderRequested.exchange(-1);
    if (order >= 0) startAtOrder(playback.player, order);
}

// A block rendered: where it starts in the stream and where the song stands after it.
void notePosition(SoundPlayback& playback) {
    const Player& player = playback.player;
    const Module* module = player.currentModule;
    std::lock_guard guard(playback.lock);
    BlockPosition& entry = playback.blockPositions[playback.blockCount % std::size(playback.blockPositions)];
    entry = {playback.framesWritten, getOrderPosition(player, module), getRow(player, module),
             getPlayingState(player, module)};
    ++playback.blockCount;
}

void playbackThreadMain(SoundPlayback* playback) {
    askForRealTimePriority();
    Player& player = playback->player;
    while (!playback->stopRequested) {
        applyRequests(*playback);
        if (playback->pauseRequested) {
            std::fill_n(player.outputBuffer, player.blockFrames * 2, std::int16_t{0});
        } else {
            renderBlock(player);
            notePosition(*playback);
        }
        deliver(*playback, player.outputBuffer, player.blockFrames);
    }
}

void stopThread(SoundPlayback& playback) {
    playback.stopRequested = true;
    if (playback.threadRunning) {
        playback.thread.join();
        playback.threadRunning = false;
    }
}

}  // namespace

void preparePlayback(SoundPlayback& playback, const SoundOutput& output) {
    configureOutput(playback.player, output.format.rate);
    std::lock_guard guard(playback.lock);
    playback.output = output;
    playback.framesWritten = 0;
    playback.reportedFrames = 0;
    playback.heardFrames = 0;
    playback.startedNs = -1;
    playback.startConfirmed = false;
    playback.recent.channels = output.format.channels;
    playback.recent.capacity = output.bufferFrames;
    playback.recent.samples.assign(static_cast<std::size_t>(output.bufferFrames) * output.format.channels, 0);
    playback.recent.taken = 0;
    playback.recent.toReplay = 0;
    playback.orderRequested = -1;
    playback.pauseRequested = false;
    playback.fault = SoundFault::none;
    playback.faultReason.clear();
}

void prepareSilentPlayback(SoundPlayback& playback, const SoundFormat& format, const std::string& reason) {
    preparePlayback(playback, nullSink(format));
    playback.faultReason = reason;
    playback.fault = SoundFault::neverPlayed;
}

int startPlayback(SoundPlayback& playback, const Module* module, std::int32_t startOrder, std::int64_t skipFrames) {
    if (module == nullptr) return 0;
    stopPlayback(playback, module);
    if (!beginPlayback(playback.player, module, startOrder)) return 0;
    Player& player = playback.player;
    while (player.renderedFrames + player.blockFrames <= skipFrames) renderBlock(player);
    player.clippedSamples = 0;  // what is left out is not heard
    playback.stopRequested = false;
    playback.orderRequested = -1;
    {
        std::lock_guard guard(playback.lock);
        playback.blockCount = 0;
    }
    try {
        playback.thread = std::thread(playbackThreadMain, &playback);
        playback.threadRunning = true;
    } catch (const std::system_error&) {
        playback.threadRunning = false;  // nothing plays; the clock stands still
    }
    return 1;
}

int stopPlayback(SoundPlayback& playback, const Module* module) {
    if (module == nullptr) return 0;
    stopThread(playback);
    endPlayback(playback.player);
    return 1;
}

void closePlayback(SoundPlayback& playback) {
    stopThread(playback);
    endPlayback(playback.player);
    std::lock_guard guard(playback.lock);
    closeSoundOutput(playback.output);
}

HeardPosition heardPosition(SoundPlayback& playback) {
    HeardPosition heard;
    {
        std::lock_guard guard(playback.lock);
        const long queued =
            playback.output.backend ? playback.output.backend->queued(playback.output) : -1;
        if (queued >= 0) {  // else the device cannot tell: the last report stands
            const std::uint64_t written = playback.framesWritten;
            playback.reportedFrames =
                written - std::min<std::uint64_t>(static_cast<std::uint64_t>(queued), written);
        }
        playback.heardFrames = std::max(playback.heardFrames, playback.reportedFrames);
        heard.reported = playback.reportedFrames;
        heard.frames = playback.heardFrames;
    }
    // The clock's arithmetic is in bytes of 16-bit stereo, modulo 2^32, as the device counts.
    heard.clock = playbackClockFromBytes(static_cast<std::uint32_t>(heard.frames * 4), 0);
    return heard;
}

bool heardSongPosition(SoundPlayback& playback, BlockPosition& heard) {
    const std::uint64_t frames = heardPosition(playback).frames;
    std::lock_guard guard(playback.lock);
    const std::uint64_t kept = std::min<std::uint64_t>(playback.blockCount, std::size(playback.blockPositions));
    for (std::uint64_t back = 1; back <= kept; ++back) {
        const BlockPosition& entry =
            playback.blockPositions[(playback.blockCount - back) % std::size(playback.blockPositions)];
        heard = entry;
        if (entry.firstFrame <= frames) return true;
    }
    return kept > 0;
}

void setPaused(SoundPlayback& playback, bool paused) { playback.pauseRequested = paused; }

void moveToOrder(SoundPlayback& playback, std::int32_t orderPosition) {
    if (orderPosition >= 0) playback.orderRequested = orderPosition;
}

}  // namespace quarbtro
