#include "sound/sound_output.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace quarbtro {

namespace {

// An open in progress on a thread of its own. Shared by the opener and the thread: whichever
// finishes last frees it, and an open that finishes after the opener gave up is closed.
struct PendingOpen {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    bool opened = false;
    SoundOutput output{};
    OutputError error{};
};

}  // namespace

bool openSoundOutput(SoundOutput& output, const SoundBackend& backend, const SoundFormat& wanted,
                     const char* target, OutputError& error, const volatile std::sig_atomic_t* interrupted,
                     int timeoutMs) {
    output = SoundOutput{};
    auto pending = std::make_shared<PendingOpen>();
    try {
        std::thread([pending, &backend, wanted, path = std::string(target ? target : ""),
                     hasTarget = target != nullptr] {
            askForRealTimePriority();
            SoundOutput opening{};
            OutputError why{};
            const bool opened = backend.open(opening, wanted, hasTarget ? path.c_str() : nullptr, why);
            if (opened) opening.backend = &backend;
            std::lock_guard lock(pending->mutex);
            if (pending->abandoned) {
                if (opened) backend.close(opening);
                return;
            }
            pending->done = true;
            pending->opened = opened;
            pending->output = opening;
            pending->error = why;
            pending->finished.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        error.text = "cannot start a thread to open the device";
        return false;
    }

    std::unique_lock lock(pending->mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pending->done) {
        const bool stop = (interrupted && *interrupted) || std::chrono::steady_clock::now() >= deadline;
        if (stop) {
            pending->abandoned = true;
            if (interrupted && *interrupted) {
                error.text = "interrupted while opening the device";
            } else {
                char seconds[16];
                std::snprintf(seconds, sizeof seconds, "%.1f", timeoutMs / 1000.0);
                error.text = std::string(backend.device) + " did not open within " + seconds +
                             " s (a sound server that has stopped answering?)";
                error.stalled = true;
            }
            return false;
        }
        pending->finished.wait_for(lock, std::chrono::milliseconds(100));
    }
    if (!pending->opened) {
        error = pending->error;
        return false;
    }
    output = pending->output;
    return true;
}

void askForRealTimePriority() {
    sched_param priority{};
    priority.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);  // refused without the right
}

void closeSoundOutput(SoundOutput& output) {
    if (output.backend == nullptr) return;
    output.backend->close(output);
    output = SoundOutput{};
}

bool closeSoundOutputWithin(SoundOutput& output, int timeoutMs) {
    if (output.backend == nullptr) return true;
    struct Closing {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    auto closing = std::make_shared<Closing>();
    SoundOutput closed = output;
    output = SoundOutput{};
    try {
        std::thread([closing, closed]() mutable {
            closeSoundOutput(closed);
            std::lock_guard lock(closing->mutex);
            closing->done = true;
            closing->finished.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        closeSoundOutput(closed);
        return true;
    }
    std::unique_lock lock(closing->mutex);
    return closing->finished.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closing->done; });
}

}  // namespace quarbtro
