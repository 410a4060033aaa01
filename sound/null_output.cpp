// Silence that keeps time: the null sink takes frames at the pace of the monotonic clock, as a
// device playing them would, with a queue of 4,096 frames (93 ms at 44,100 Hz). Machines
// without sound and the tests run at the right speed through it, and the playback thread goes
// on with it when the sound is lost.

#include <time.h>

#include <algorithm>
#include <string>
#include <new>

#include "sound/sound_output.h"

namespace quarbtro {

namespace {

constexpr std::int64_t queueFrames = 4096;
// The wait for room returns once this much is free, as a device wakes its writer per period.
constexpr std::int64_t periodFrames = 1024;

struct NullState {
    std::int64_t rate;            // frames per second
    std::int64_t taken;           // frames taken since the open
    // Playing runs from the anchor: at anchorNs (CLOCK_MONOTONIC nanoseconds) playedAtAnchor
    // frames had been played. anchorNs is -1 before the first write; a queue that ran dry
    // plays again from the next write.
    std::int64_t playedAtAnchor;
    std::int64_t anchorNs;
};

NullState& stateOf(SoundOutput& output) { return *static_cast<NullState*>(output.state); }

std::int64_t nowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Frames played by now: up to all that was taken, where playing stops until the next write.
// Changes nothing, so that the playback thread's wait for room and the clock's reader may ask
// at the same time.
std::int64_t played(const NullState& sink) {
    if (sink.anchorNs < 0) return sink.playedAtAnchor;
    const std::int64_t frames = sink.playedAtAnchor + (nowNs() - sink.anchorNs) * sink.rate / 1000000000;
    return std::min(frames, sink.taken);
}

bool open(SoundOutput& output, const SoundFormat& wanted, const char*, OutputError& error) {
    if (wanted.rate <= 0) {
        error.text = "no sound at a rate of " + std::to_string(wanted.rate) + " Hz";
        return false;
    }
    output.state = new (std::nothrow) NullState{wanted.rate, 0, 0, -1};
    if (output.state == nullptr) {
        error.text = "out of memory";
        return false;
    }
    output.format = wanted;
    output.bufferFrames = static_cast<std::int32_t>(queueFrames);
    return true;
}

long room(const NullState& sink) { return static_cast<long>(queueFrames - (sink.taken - played(sink))); }

long waitForRoom(SoundOutput& output, int timeoutMs) {
    NullState& sink = stateOf(output);
    const long free = room(sink);
    if (free >= periodFrames) return free;
    // Sleep until a period is free, or the time is up.
    const std::int64_t untilPeriodNs = (periodFrames - free) * 1000000000 / sink.rate + 1;
    const std::int64_t sleepNs = std::min<std::int64_t>(untilPeriodNs, std::int64_t{timeoutMs} * 1000000);
    const timespec pause = {static_cast<time_t>(sleepNs / 1000000000), static_cast<long>(sleepNs % 1000000000)};
    nanosleep(&pause, nullptr);
    const long after = room(sink);
    return after >= periodFrames ? after : 0;
}

long write(SoundOutput& output, const void*, long frames) {
    NullState& sink = stateOf(output);
    const long taken = std::min(frames, room(sink));
    if (taken <= 0) return 0;
    // A queue that ran dry (or never played) starts playing again from now.
    const std::int64_t playedNow = played(sink);
    if (sink.anchorNs < 0 || playedNow == sink.taken) {
        sink.playedAtAnchor = playedNow;
        sink.anchorNs = nowNs();
    }
    sink.taken += taken;
    return taken;
}

long queued(SoundOutput& output) {
    NullState& sink = stateOf(output);
    return static_cast<long>(sink.taken - played(sink));
}

int recover(SoundOutput&, int) { return 0; }

void close(SoundOutput& output) {
    delete &stateOf(output);
    output.state = nullptr;
}

}  // namespace

const SoundBackend nullBackend = {"null", "the null sink",
                                  open, waitForRoom, write, queued, recover, close};

}  // namespace quarbtro
