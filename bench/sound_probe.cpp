// Preloaded into the intro ahead of PulseAudio's OSS emulation, this watches the sound device
// from outside the unchanged program:
// - before each write to the device it asks how many bytes are still queued, and counts the
//   writes that find nothing (the device ran dry before the next block came);
// - at each of the intro's own queue requests (PlaybackClock, once a frame) it notes the time
//   and the bytes heard: all bytes written so far less those still queued.
// At exit it writes its findings to the file $QUARBTRO_SOUND_PROBE_REPORT:
//   writes N
//   empty-writes N            writes after the first that found nothing queued
//   least-queued BYTES        the smallest queue found before a write, the first excepted
//   queued SECONDS BYTES      one line per write: what the device still held just before it
//   heard SECONDS BYTES       one line per clock reading
// Times are CLOCK_MONOTONIC seconds.
// The device is the descriptor its format is first set on.

#include <dlfcn.h>
#include <sys/soundcard.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);
using WriteFunction = ssize_t (*)(int, const void*, size_t);

IoctlFunction nextIoctl() {
    static const auto next = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    return next;
}
WriteFunction nextWrite() {
    static const auto next = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    return next;
}

std::int64_t nowNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Reading {
    std::int64_t nanoseconds;
    std::uint32_t bytes;
};

std::atomic<int> deviceFd{-1};
std::atomic<std::uint32_t> bytesWritten{0};
// The playback thread's alone: a write every 46 ms.
long writes = 0, emptyWrites = 0;
int leastQueued = INT_MAX;
constexpr int maxWrites = 1 << 14;
Reading queueBeforeWrite[maxWrites];
// The main thread's alone: about 200 frames a second for 43 s fit many times over.
constexpr int maxReadings = 1 << 18;
Reading readings[maxReadings];
int readingCount = 0;

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == SNDCTL_DSP_SETFMT) {
        int unset = -1;
        deviceFd.compare_exchange_strong(unset, fd);
    }
    const int result = nextIoctl()(fd, request, argument);
    if (request == SNDCTL_DSP_GETODELAY && fd == deviceFd && result == 0 &&
        readingCount < maxReadings)
        readings[readingCount++] = {nowNanoseconds(),
                                    bytesWritten - static_cast<std::uint32_t>(
                                                       *static_cast<int*>(argument))};
    return result;
}

extern "C" ssize_t write(int fd, const void* bytes, size_t count) {
    if (fd == deviceFd) {
        int queued = 0;
        if (nextIoctl()(fd, SNDCTL_DSP_GETODELAY, &queued) == 0 && writes > 0) {
            if (queued <= 0) ++emptyWrites;
            if (queued < leastQueued) leastQueued = queued;
        }
        if (writes < maxWrites)
            queueBeforeWrite[writes] = {nowNanoseconds(), static_cast<std::uint32_t>(queued)};
        ++writes;
        bytesWritten += static_cast<std::uint32_t>(count);
    }
    return nextWrite()(fd, bytes, count);
}

__attribute__((destructor)) static void writeReport() {
    const char* path = std::getenv("QUARBTRO_SOUND_PROBE_REPORT");
    if (!path) return;
    FILE* report = std::fopen(path, "w");
    if (!report) return;
    std::fprintf(report, "writes %ld\nempty-writes %ld\nleast-queued %d\n", writes, emptyWrites,
                 leastQueued == INT_MAX ? -1 : leastQueued);
    for (long i = 0; i < writes && i < maxWrites; ++i)
        std::fprintf(report, "queued %.6f %u\n", queueBeforeWrite[i].nanoseconds * 1e-9,
                     queueBeforeWrite[i].bytes);
    for (int i = 0; i < readingCount; ++i)
        std::fprintf(report, "heard %.6f %u\n", readings[i].nanoseconds * 1e-9, readings[i].bytes);
    std::fclose(report);
}
