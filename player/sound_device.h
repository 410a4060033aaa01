#pragma once
// The sound card as the player uses it: open, four configuration requests, the queued-byte
// count, write and close. The real device is the Open Sound System device file (oss_device.cpp,
// the only file that knows the OSS interface); tests put a simulated device in its place.

namespace quarbtro {

enum class DeviceRequest {
    setFormat,    // argument: sample format; 16 = signed 16-bit little-endian
    setStereo,    // argument: 1 = stereo
    setSpeed,     // argument: frames per second
    setFragment,  // argument: (fragment count << 16) | log2(fragment bytes)
    queuedBytes,  // argument out: bytes written but not yet played
};

struct SoundDevice {
    int (*open)();  // a descriptor, or -1
    void (*close)(int fd);
    // Issues a request; the device may change the argument. 0 on success, -1 on failure.
    int (*request)(int fd, DeviceRequest request, int* argument);
    // One plain blocking write; the bytes accepted, or -1.
    long (*write)(int fd, const void* bytes, long count);
};

// "/dev/dsp".
extern const SoundDevice ossDevice;
// The device the player uses: ossDevice unless a test has put another in its place.
extern const SoundDevice* soundDevice;

}  // namespace quarbtro
