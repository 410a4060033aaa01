#include "intro/playback_clock.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "intro/clock_log.h"
#include "intro/create_player.h"

namespace quarbtro {

namespace {

ClockLog* clockLogFromEnvironment() {
    const char* path = std::getenv("QUARBTRO_CLOCK_LOG");
    return path == nullptr || *path == 0 ? nullptr : new ClockLog(path);
}

void logReading(ClockLog& log, const HeardPosition& heard) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[96];
    const int length = std::snprintf(line, sizeof line, "%lld.%06ld %d %llu %llu\n",
                                     static_cast<long long>(now.tv_sec), now.tv_nsec / 1000, heard.clock,
                                     static_cast<unsigned long long>(heard.frames),
                                     static_cast<unsigned long long>(heard.reported));
    log.append(line, static_cast<std::size_t>(length));
}

void reportFault(const SoundPlayback& playback, SoundFault fault) {
    const char* reason = playback.faultReason.c_str();
    switch (fault) {
        case SoundFault::lost:
            std::fprintf(stderr, "quarbtro: the sound was lost (%s); the show goes on without it\n", reason);
            break;
        case SoundFault::neverPlayed:
            std::fprintf(stderr, "quarbtro: no sound: %s; the show goes on without it\n", reason);
            break;
        case SoundFault::tooFast:
            std::fprintf(stderr, "quarbtro: %s; the show goes on without sound, in real time\n", reason);
            break;
        case SoundFault::none: break;
    }
}

}  // namespace

int PlaybackClock() {
    SoundPlayback& playback = introPlayback();
    const HeardPosition heard = heardPosition(playback);
    // Made once and never freed: the process may end in any frame.
    static ClockLog* const log = clockLogFromEnvironment();
    if (log != nullptr) logReading(*log, heard);
    static bool faultReported = false;
    const SoundFault fault = playback.fault.load(std::memory_order_acquire);
    if (!faultReported && fault != SoundFault::none) {
        faultReported = true;
        reportFault(playback, fault);
    }
    return heard.clock;
}

}  // namespace quarbtro
