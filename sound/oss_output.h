#pragma once
// The Open Sound System backend's system calls, as a table: the backend uses the real ones,
// and the tests give it a simulated device through openOssOutput.

#include "sound/sound_output.h"

namespace quarbtro {

// Each call gets `context` first: nothing for the real ones, a test's simulated device.
struct OssCalls {
    void* context;
    int (*open)(void* context, const char* path);  // write-only: a descriptor, or -1 with errno set
    void (*close)(void* context, int fd);
    int (*ioctl)(void* context, int fd, unsigned long request, void* argument);  // 0, or -1 with errno
    // Waits at most timeoutMs for the descriptor to be writable: >0 writable, 0 timed out, -1.
    int (*pollWritable)(void* context, int fd, int timeoutMs);
    long (*write)(void* context, int fd, const void* bytes, long count);  // bytes taken, or -1 with errno
    void (*sleepMs)(void* context, int milliseconds);
};

// The calls the OSS backend makes on a real system.
extern const OssCalls systemOssCalls;

// The OSS device when none is named.
inline constexpr const char* defaultOssDevice = "/dev/dsp";

// ossBackend's open of a device (null: /dev/dsp) with the given calls, which the other
// operations then use too (a copy of the table is kept; its context must outlive the output).
bool openOssOutput(SoundOutput& output, const SoundFormat& wanted, const char* device, const OssCalls& calls,
                   OutputError& error);

}  // namespace quarbtro
