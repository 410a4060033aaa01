#pragma once
// A sound device for the tests: it answers each configuration request as a configured device
// would, drains its queue at 176,400 bytes per second of a clock the test sets, and records
// what the playback thread hands it. Install it with SimulatedDevice::install(); the real
// device comes back with SimulatedDevice::uninstall().

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "player/audio_device.h"
#include "player/player.h"
#include "player/sound_device.h"

namespace quarbtro {

struct SimulatedDevice {
    // What the device makes of each request; -1 means: give back what was asked.
    int formatAnswer = -1;
    int stereoAnswer = -1;
    int speedAnswer = -1;
    int fragmentAnswer = 0x0004000B;  // four fragments of 2^11 bytes
    bool requestsFail = false;        // every request returns -1 and leaves its argument alone
    bool queuedBytesFails = false;
    bool openFails = false;
    bool logToStderr = false;  // for death tests: the child's events are only seen there

    // What happened.
    int opens = 0;
    int closes = 0;
    std::vector<DeviceRequest> requests;

    // The state at each write, as the playback thread leaves it right after rendering a block.
    struct Write {
        long bytes;
        std::uint32_t bytesWrittenBefore;  // audioDevice.bytesWritten when the write began
        std::int32_t samplesLeftInTick;
        std::int32_t orderPosition;
        std::int32_t row;
        std::int32_t tick;
    };
    std::mutex mutex;
    std::vector<Write> writes;
    std::atomic<long> bytesAccepted{0};
    std::atomic<double> seconds{0};  // the device's clock, set by the test

    std::size_t writeCount() {
        std::lock_guard lock(mutex);
        return writes.size();
    }
    Write write(std::size_t i) {
        std::lock_guard lock(mutex);
        return writes.at(i);
    }

    static SimulatedDevice*& current() {
        static SimulatedDevice* device = nullptr;
        return device;
    }
    static void install(SimulatedDevice& device) {
        current() = &device;
        static const SoundDevice simulated = {open, close, request, writeBlock};
        soundDevice = &simulated;
    }
    static void uninstall() {
        soundDevice = &ossDevice;
        current() = nullptr;
    }

private:
    static constexpr int fd = 77;

    static int open() {
        SimulatedDevice& d = *current();
        if (d.logToStderr) std::fprintf(stderr, "[device open]\n");
        if (d.openFails) return -1;
        ++d.opens;
        return fd;
    }
    static void close(int) {
        SimulatedDevice& d = *current();
        if (d.logToStderr) std::fprintf(stderr, "[device close]\n");
        ++d.closes;
    }
    static int request(int, DeviceRequest request, int* argument) {
        SimulatedDevice& d = *current();
        if (request != DeviceRequest::queuedBytes) d.requests.push_back(request);
        if (d.requestsFail) return -1;
        auto answer = [&](int configured) {
            if (configured != -1) *argument = configured;
            return 0;
        };
        switch (request) {
            case DeviceRequest::setFormat: return answer(d.formatAnswer);
            case DeviceRequest::setStereo: return answer(d.stereoAnswer);
            case DeviceRequest::setSpeed: return answer(d.speedAnswer);
            case DeviceRequest::setFragment: return answer(d.fragmentAnswer);
            case DeviceRequest::queuedBytes: {
                if (d.queuedBytesFails) return -1;
                const long played = static_cast<long>(d.seconds.load() * 176400.0);
                *argument = static_cast<int>(std::max(0L, d.bytesAccepted.load() - played));
                return 0;
            }
        }
        return -1;
    }
    static long writeBlock(int, const void*, long count) {
        SimulatedDevice& d = *current();
        const Module& module = *devicePlayer.currentModule;
        {
            std::lock_guard lock(d.mutex);
            d.writes.push_back({count, audioDevice.bytesWritten.load() - static_cast<std::uint32_t>(count),
                                module.samplesLeftInTick, module.orderPosition, module.row,
                                module.tick});
        }
        d.bytesAccepted += count;
        return count;
    }
};

// Tests that play on the simulated device: it is installed for the test, and whatever the
// test leaves playing is stopped and the device closed afterwards.
class SimulatedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { SimulatedDevice::install(device); }
    void TearDown() override {
        Module any{};
        stopPlayback(&any);
        closeAudioDevice();
        SimulatedDevice::uninstall();
    }
    SimulatedDevice device;
};

}  // namespace quarbtro
