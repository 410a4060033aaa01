#pragma once
// A sound output for the tests, behind the same interface as the real backends. It holds up to
// `capacity` frames; they play only as the test says (played), so the test decides exactly how
// much room the playback thread finds. With `drains` set, everything taken plays at once. It
// records every write, and can be made to fail. It keeps its own time too (timeNs): the frames
// played, at 44,100 Hz, and whatever idle time the test adds; the playback's fault checks can
// be given it, so that they see a device that plays in real time.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "player/player.h"
#include "sound/sound_output.h"

namespace quarbtro {

struct SimulatedOutput {
    std::atomic<long> capacity{4096};
    std::atomic<long> played{0};       // frames played so far; set by the test
    std::atomic<bool> drains{false};   // every frame taken plays at once
    std::atomic<bool> queueUnknown{false};  // the queue query fails
    std::atomic<long> failure{0};      // a negative errno every wait returns; 0: none
    std::atomic<int> failuresLeft{0};  // how many waits fail; -1: all of them
    std::atomic<int> recoverResult{0};  // a negative errno: recovery fails
    std::atomic<bool> recoveryDropsQueue{false};  // a recovery drops what is queued, unplayed
    std::atomic<std::int64_t> idleNs{0};  // time passed without playing; set by the test
    std::atomic<int> recovers{0};
    std::atomic<bool> closed{false};
    const Player* player = nullptr;    // whose song state each write records

    // The state at each write, as the playback thread leaves it right after rendering a block.
    struct Write {
        long frames;
        long takenBefore;     // frames taken before this write
        bool silent;          // every sample 0
        std::int32_t samplesLeftInTick, orderPosition, row, tick;
    };

    long taken() const { return taken_; }
    // Every sample taken, in order, whether it played or was dropped.
    std::vector<std::int16_t> samplesTaken() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::size_t writeCount() {
        std::lock_guard lock(mutex_);
        return writes_.size();
    }
    Write write(std::size_t i) {
        std::lock_guard lock(mutex_);
        return writes_.at(i);
    }
    // Waits (up to 10 s) until the device has taken `frames` frames.
    void awaitTaken(long frames) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (taken_ < frames && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(taken_, frames);
    }
    // Lets everything taken so far play, and `more` frames besides.
    void playAll(long more = 0) { played = taken_ + more; }
    // Frames play only once taken: `played` may run ahead of what the thread has written yet.
    std::int64_t timeNs() const {
        return std::min(played.load(), taken_.load()) * std::int64_t{1000000000} / 44100 + idleNs;
    }

    SoundOutput output(std::int32_t rate = 44100);

    static long queuedOf(const SimulatedOutput& device) {
        if (device.drains) return 0;
        return std::max(0L, device.taken_ - device.played);
    }

    // For the backend's operations below.
    static SimulatedOutput& of(SoundOutput& output) { return *static_cast<SimulatedOutput*>(output.state); }

    std::atomic<long> taken_{0};
    std::mutex mutex_;
    std::vector<Write> writes_;
    std::vector<std::int16_t> samples_;
};

inline const SoundBackend simulatedBackend = {
    "simulated",
    "the simulated device",
    [](SoundOutput&, const SoundFormat&, const char*, OutputError&) { return false; },
    [](SoundOutput& output, int) -> long {
        SimulatedOutput& device = SimulatedOutput::of(output);
        if (device.failuresLeft != 0) {
            if (device.failuresLeft > 0) --device.failuresLeft;
            return device.failure;
        }
        const long room = device.capacity - SimulatedOutput::queuedOf(device);
        if (room <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return std::max(0L, room);
    },
    [](SoundOutput& output, const void* samples, long frames) -> long {
        SimulatedOutput& device = SimulatedOutput::of(output);
        const long room = device.capacity - SimulatedOutput::queuedOf(device);
        const long taking = std::min(frames, room);
        if (taking <= 0) return 0;
        const auto* first = static_cast<const std::int16_t*>(samples);
        const bool silent = std::all_of(first, first + taking * 2, [](std::int16_t s) { return s == 0; });
        const SongState song = device.player ? device.player->song : SongState{};
        {
            std::lock_guard lock(device.mutex_);
            device.writes_.push_back({taking, device.taken_, silent, song.samplesLeftInTick,
                                      song.orderPosition, song.row, song.tick});
            device.samples_.insert(device.samples_.end(), first, first + taking * 2);
        }
        device.taken_ += taking;
        return taking;
    },
    [](SoundOutput& output) -> long {
        SimulatedOutput& device = SimulatedOutput::of(output);
        return device.queueUnknown ? -1 : SimulatedOutput::queuedOf(device);
    },
    [](SoundOutput& output, int) {
        SimulatedOutput& device = SimulatedOutput::of(output);
        ++device.recovers;
        if (device.recoverResult < 0 || !device.recoveryDropsQueue) return device.recoverResult.load();
        const long dropped = SimulatedOutput::queuedOf(device);
        device.played += dropped;  // gone from the queue, never heard
        return static_cast<int>(dropped);
    },
    [](SoundOutput& output) { SimulatedOutput::of(output).closed = true; },
};

inline SoundOutput SimulatedOutput::output(std::int32_t rate) {
    return SoundOutput{&simulatedBackend, this, {rate, 2, SampleEncoding::s16LittleEndian},
                       static_cast<std::int32_t>(capacity.load())};
}

}  // namespace quarbtro
