// The Open Sound System device ("/dev/dsp", or another one named): the only file that knows the
// OSS interface.
//
// Opened write-only and configured by four requests, each checked on the value that comes back
// in its argument (the requests' own results are not looked at, so a request that fails and
// leaves the argument alone passes): 16-bit little-endian samples, stereo, exactly the rate
// asked for, and at most 8 fragments of 2^11 = 2,048 bytes (512 frames; 16,384 bytes, about
// 93 ms at 44,100 Hz, of queue). There are no fallbacks to other formats, rates or fragment
// sizes.
//
// Writes never wait for room inside write(): the room is asked for first (SNDCTL_DSP_GETOSPACE)
// and only what fits is written, so each write's frames are counted as the device takes them.
// PulseAudio's OSS emulation answers poll() at once whatever the room, so the wait for room
// also sleeps in short steps until a fragment is free.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/soundcard.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <cstring>
#include <ctime>
#include <new>

#include "sound/oss_output.h"

namespace quarbtro {

namespace {

constexpr int formatS16LittleEndian = AFMT_S16_LE;  // 16
// At most 8 fragments (upper half) of 2^11 = 2,048 bytes (lower half).
constexpr int fragmentRequest = 0x0008000B;
constexpr int fragmentSizeLog2 = 11;
constexpr int bytesPerFrame = 4;
constexpr int fragmentFrames = (1 << fragmentSizeLog2) / bytesPerFrame;  // 512
constexpr int queueFrames = 8 * fragmentFrames;                          // 4,096
// A fragment lasts 11.6 ms at 44,100 Hz: the wait for room looks again a few times in that.
constexpr int roomPollMs = 3;

struct OssState {
    int fd;
    OssCalls calls;
};

OssState& stateOf(SoundOutput& output) { return *static_cast<OssState*>(output.state); }

bool requestExactly(const OssCalls& calls, int fd, unsigned long request, int value) {
    int argument = value;
    calls.ioctl(calls.context, fd, request, &argument);
    return argument == value;
}

// True when the device took every setting; `fragments` is then the fragment answer.
bool configure(const OssCalls& calls, int fd, std::int32_t rate, int& fragments) {
    if (!requestExactly(calls, fd, SNDCTL_DSP_SETFMT, formatS16LittleEndian)) return false;
    if (!requestExactly(calls, fd, SNDCTL_DSP_STEREO, 1)) return false;
    if (!requestExactly(calls, fd, SNDCTL_DSP_SPEED, rate)) return false;
    fragments = fragmentRequest;
    calls.ioctl(calls.context, fd, SNDCTL_DSP_SETFRAGMENT, &fragments);
    return (fragments & 0xFFFF) == fragmentSizeLog2;  // the device may grant fewer fragments
}

bool open(SoundOutput& output, const SoundFormat& wanted, const char* device, OutputError& error) {
    return openOssOutput(output, wanted, device, systemOssCalls, error);
}

// Frames that fit now, or -1 when the device cannot tell.
long room(OssState& oss) {
    audio_buf_info space{};
    if (oss.calls.ioctl(oss.calls.context, oss.fd, SNDCTL_DSP_GETOSPACE, &space) != 0) return -1;
    return space.bytes > 0 ? space.bytes / bytesPerFrame : 0;
}

long waitForRoom(SoundOutput& output, int timeoutMs) {
    OssState& oss = stateOf(output);
    for (int waited = 0;;) {
        const int ready = oss.calls.pollWritable(oss.calls.context, oss.fd, timeoutMs - waited);
        if (ready < 0) return errno == EINTR ? 0 : -errno;
        if (ready == 0) return 0;
        const long frames = room(oss);
        // A device that cannot say takes a fragment without waiting once it is writable.
        if (frames < 0) return fragmentFrames;
        if (frames >= fragmentFrames) return frames;
        if (waited >= timeoutMs) return 0;
        oss.calls.sleepMs(oss.calls.context, roomPollMs);
        waited += roomPollMs;
    }
}

long write(SoundOutput& output, const void* samples, long frames) {
    OssState& oss = stateOf(output);
    const long written = oss.calls.write(oss.calls.context, oss.fd, samples, frames * bytesPerFrame);
    if (written < 0) return errno == EAGAIN || errno == EINTR ? 0 : -errno;
    return written / bytesPerFrame;
}

// A failing SNDCTL_DSP_GETODELAY counts every frame written as heard.
long queued(SoundOutput& output) {
    OssState& oss = stateOf(output);
    int bytes = 0;
    if (oss.calls.ioctl(oss.calls.context, oss.fd, SNDCTL_DSP_GETODELAY, &bytes) != 0 || bytes < 0) bytes = 0;
    return bytes / bytesPerFrame;
}

// OSS has no stopped state to leave: a failed write is simply tried again.
int recover(SoundOutput&, int) { return 0; }

void close(SoundOutput& output) {
    OssState& oss = stateOf(output);
    oss.calls.close(oss.calls.context, oss.fd);
    delete &oss;
    output.state = nullptr;
}

int systemOpen(void*, const char* path) { return ::open(path, O_WRONLY); }
void systemClose(void*, int fd) { ::close(fd); }
int systemIoctl(void*, int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int systemPollWritable(void*, int fd, int timeoutMs) {
    pollfd descriptor = {fd, POLLOUT, 0};
    return ::poll(&descriptor, 1, timeoutMs < 0 ? 0 : timeoutMs);
}
long systemWrite(void*, int fd, const void* bytes, long count) {
    return static_cast<long>(::write(fd, bytes, static_cast<size_t>(count)));
}
void systemSleepMs(void*, int milliseconds) {
    const timespec pause = {0, milliseconds * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace

const OssCalls systemOssCalls = {nullptr,    systemOpen,         systemClose,
                                 systemIoctl, systemPollWritable, systemWrite, systemSleepMs};

bool openOssOutput(SoundOutput& output, const SoundFormat& wanted, const char* device, const OssCalls& calls,
                   OutputError& error) {
    const std::string path = device ? device : defaultOssDevice;
    if (wanted.channels != 2 || wanted.encoding != SampleEncoding::s16LittleEndian) {
        error.text = path + " is only used for 16-bit stereo";
        return false;
    }
    const int fd = calls.open(calls.context, path.c_str());
    if (fd == -1) {
        error.text = path + ": " + std::strerror(errno);
        return false;
    }
    int fragments = 0;
    if (!configure(calls, fd, wanted.rate, fragments)) {
        calls.close(calls.context, fd);
        error.text = path + " refused 16-bit stereo at " + std::to_string(wanted.rate) +
                     " Hz in fragments of 2,048 bytes";
        return false;
    }
    output.state = new (std::nothrow) OssState{fd, calls};
    if (output.state == nullptr) {
        calls.close(calls.context, fd);
        error.text = "out of memory";
        return false;
    }
    output.format = wanted;
    const int fragmentCount = fragments >> 16;
    output.bufferFrames = fragmentCount >= 1 && fragmentCount <= 8 ? fragmentCount * fragmentFrames
                                                                   : queueFrames;
    return true;
}

const SoundBackend ossBackend = {"oss", "/dev/dsp",
                                  open, waitForRoom, write, queued, recover, close};

}  // namespace quarbtro
