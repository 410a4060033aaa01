#include "sound/sound_playback.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "player/playback.h"
#include "player/render.h"
#include "sound/playback_clock.h"

namespace quarbtro {

namespace {

// The longest a wait for room lasts: how soon the thread sees a stop during a stall.
constexpr int roomWaitMs = 100;
// How long an output may keep failing, with nothing taken, before the sound counts as lost.
// PipeWire recovers from a stall with a handful of underruns within milliseconds; a killed
// PipeWire fails every write at once, for good.
constexpr std::int64_t lossAfterNs = 500000000;
// The pause between two attempts on a failing output.
constexpr useconds_t faultRetryUs = 10000;

std::int64_t nowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::string describe(const SoundOutput& output, long error) {
    return std::string(output.backend ? output.backend->name : "?") + ": " +
           std::strerror(static_cast<int>(-error));
}

// The output failed for good: from here on the null sink keeps time, counting on from the last
// position heard (what the dead device still held is dropped).
void loseSound(SoundPlayback& playback, long error) {
    SoundOutput dead;
    const std::string reason = describe(playback.output, error);
    {
        std::lock_guard guard(playback.lock);
        dead = playback.output;
        SoundOutput silence{};
        OutputError ignored;
        if (nullBackend.open(silence, dead.format, nullptr, ignored)) silence.backend = &nullBackend;
        playback.output = silence;
        playback.framesWritten = playback.lastHeardFrames;
    }
    closeSoundOutput(dead);
    playback.lossReason = reason;
    playback.soundLost.store(true, std::memory_order_release);
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
            result = output.backend->write(output, samples + done * channels, std::min(result, frames - done));
            if (result > 0) playback.framesWritten += static_cast<std::uint64_t>(result);
        }
        if (result > 0) {
            done += result;
            failingSince = -1;
            continue;
        }
        if (result == 0) continue;  // no room yet: a full queue, or a stalled server
        const std::int64_t now = nowNs();
        if (failingSince < 0) failingSince = now;
        int recovered;
        {
            std::lock_guard guard(playback.lock);
            recovered = output.backend->recover(output, static_cast<int>(result));
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

void playbackThreadMain(SoundPlayback* playback) {
    Player& player = playback->player;
    while (!playback->stopRequested) {
        usleep(100);
        applyRequests(*playback);
        if (playback->pauseRequested)
            std::fill_n(player.outputBuffer, player.blockFrames * 2, std::int16_t{0});
        else
            renderBlock(player);
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
    playback.lastHeardFrames = 0;
    playback.orderRequested = -1;
    playback.pauseRequested = false;
    playback.soundLost = false;
    playback.lossReason.clear();
}

int startPlayback(SoundPlayback& playback, const Module* module, std::int32_t startOrder) {
    if (module == nullptr) return 0;
    stopPlayback(playback, module);
    if (!beginPlayback(playback.player, module, startOrder)) return 0;
    playback.stopRequested = false;
    playback.orderRequested = -1;
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
    std::uint64_t heard;
    {
        std::lock_guard guard(playback.lock);
        const long queued =
            playback.output.backend ? playback.output.backend->queued(playback.output) : -1;
        if (queued >= 0) {
            const std::uint64_t written = playback.framesWritten;
            playback.lastHeardFrames = written - std::min<std::uint64_t>(static_cast<std::uint64_t>(queued), written);
        }
        heard = playback.lastHeardFrames;
    }
    // The clock's arithmetic is in bytes of 16-bit stereo, modulo 2^32, as the device counts.
    return {heard, heardCentiseconds(static_cast<std::uint32_t>(heard * 4), 0)};
}

int playbackClock(SoundPlayback& playback) { return heardPosition(playback).centiseconds; }

void setPaused(SoundPlayback& playback, bool paused) { playback.pauseRequested = paused; }

void moveToOrder(SoundPlayback& playback, std::int32_t orderPosition) {
    if (orderPosition >= 0) playback.orderRequested = orderPosition;
}

}  // namespace quarbtro
