#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/soundcard.h>
#include <unistd.h>

#include "player/sound_device.h"

namespace quarbtro {

namespace {

int openDsp() { return ::open("/dev/dsp", O_WRONLY); }

void closeDsp(int fd) { ::close(fd); }

unsigned long ossRequest(DeviceRequest request) {
    switch (request) {
        case DeviceRequest::setFormat: return SNDCTL_DSP_SETFMT;
        case DeviceRequest::setStereo: return SNDCTL_DSP_STEREO;
        case DeviceRequest::setSpeed: return SNDCTL_DSP_SPEED;
        case DeviceRequest::setFragment: return SNDCTL_DSP_SETFRAGMENT;
        case DeviceRequest::queuedBytes: return SNDCTL_DSP_GETODELAY;
    }
    return 0;
}

int requestDsp(int fd, DeviceRequest request, int* argument) {
    return ::ioctl(fd, ossRequest(request), argument);
}

long writeDsp(int fd, const void* bytes, long count) {
    return static_cast<long>(::write(fd, bytes, static_cast<size_t>(count)));
}

}  // namespace

const SoundDevice ossDevice = {openDsp, closeDsp, requestDsp, writeDsp};
const SoundDevice* soundDevice = &ossDevice;

}  // namespace quarbtro
