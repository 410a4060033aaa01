#include "intro/audio_clock.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "intro/create_player.h"

namespace quarbtro {

namespace {

std::FILE* openClockLog() {
    const char* path = std::getenv("QUARBTRO_CLOCK_LOG");
    if (path == nullptr || *path == 0) return nullptr;
    std::FILE* log = std::fopen(path, "a");
    if (log == nullptr) {
        std::fprintf(stderr, "quarbtro: cannot write the clock log %s\n", path);
        return nullptr;
    }
    setvbuf(log, nullptr, _IOLBF, 0);  // whole lines even when the intro is killed
    return log;
}

}  // namespace

int audioClock() {
    SoundPlayback& playback = introPlayback();
    const HeardPosition heard = heardPosition(playback);
    static std::FILE* const log = openClockLog();
    if (log != nullptr) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(log, "%lld.%06ld %d %llu\n", static_cast<long long>(now.tv_sec),
                     now.tv_nsec / 1000, heard.centiseconds,
                     static_cast<unsigned long long>(heard.frames));
    }
    static bool lossReported = false;
    if (!lossReported && playback.soundLost.load(std::memory_order_acquire)) {
        lossReported = true;
        std::fprintf(stderr, "quarbtro: the sound was lost (%s); the show goes on without it\n",
                     playback.lossReason.c_str());
    }
    return heard.centiseconds;
}

}  // namespace quarbtro
