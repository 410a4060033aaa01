#include "player/audio_device.h"

#include <unistd.h>

#include "player/playback.h"
#include "player/playback_clock.h"
#include "player/render.h"
#include "player/sound_device.h"
#include "player/stream.h"

namespace quarbtro {

AudioDevice audioDevice = {-1, {0}, {0}, {0}, {1}, {}, false};
Player devicePlayer = {};

namespace {

constexpr int formatS16LittleEndian = 16;
// At most 8 fragments (upper half) of 2^11 = 2,048 bytes (lower half).
constexpr int fragmentRequest = 0x0008000B;
constexpr int fragmentSizeLog2 = 11;

bool requestExactly(DeviceRequest request, int value) {
    int argument = value;
    soundDevice->request(audioDevice.audioFd, request, &argument);
    // The request's own result is not looked at: the value that comes back is what counts.
    return argument == value;
}

bool configureDevice(std::int32_t rate) {
    if (!requestExactly(DeviceRequest::setFormat, formatS16LittleEndian)) return false;
    if (!requestExactly(DeviceRequest::setStereo, 1)) return false;
    if (!requestExactly(DeviceRequest::setSpeed, rate)) return false;
    int fragments = fragmentRequest;
    soundDevice->request(audioDevice.audioFd, DeviceRequest::setFragment, &fragments);
    return (fragments & 0xFFFF) == fragmentSizeLog2;  // the device may grant fewer fragments
}

}  // namespace

int openAudioDevice(std::int32_t rate) {
    if (!fileCallbacksRegistered()) return 0;
    closeAudioDevice();
    audioDevice.audioFd = soundDevice->open();
    if (audioDevice.audioFd == -1) return 0;
    if (!configureDevice(rate)) {
        closeAudioDevice();
        return 0;
    }
    configureOutput(devicePlayer, rate);
    return 1;
}

void closeAudioDevice() {
    if (audioDevice.audioFd == -1) return;
    soundDevice->close(audioDevice.audioFd);
    audioDevice.audioFd = -1;
}

void* audioThreadMain(void*) {
    audioDevice.threadExited = 0;
    const long blockBytes = static_cast<long>(devicePlayer.blockFrames) * 4;
    while (!audioDevice.stopRequested) {
        usleep(100);
        audioDevice.rendering = 1;
        renderBlock(devicePlayer);
        audioDevice.bytesWritten += static_cast<std::uint32_t>(blockBytes);
        // One plain blocking write: it is the thread's only pacing. A short or failed write is
        // not retried; the clock then runs ahead by what the device did not take.
        soundDevice->write(audioDevice.audioFd, devicePlayer.outputBuffer, blockBytes);
        audioDevice.rendering = 0;
    }
    audioDevice.threadExited = 1;
    return nullptr;
}

int PlaybackClock() {
    int queued = 0;
    if (audioDevice.audioFd != -1 &&
        soundDevice->request(audioDevice.audioFd, DeviceRequest::queuedBytes, &queued) != 0)
        queued = 0;
    return heardCentiseconds(audioDevice.bytesWritten, queued);
}

namespace {
void stopPlaybackThread(Player&);
}  // namespace

int startPlayback(Module* module) {
    if (module == nullptr) return 0;
    stopPlayback(module);
    if (!beginPlayback(devicePlayer, module)) return 0;
    devicePlayer.stopRendering = stopPlaybackThread;
    audioDevice.stopRequested = 0;
    audioDevice.threadExited = 0;
    if (pthread_create(&audioDevice.playbackThread, nullptr, audioThreadMain, nullptr) == 0) {
        audioDevice.hasPlaybackThread = true;
    } else {
        audioDevice.hasPlaybackThread = false;
        audioDevice.threadExited = 1;
    }
    return 1;
}

namespace {

// Ends the playback thread (the handshake above), leaving the player as it is.
void stopPlaybackThread(Player&) {
    audioDevice.stopRequested = 1;
    while (audioDevice.rendering) {
    }
    if (audioDevice.hasPlaybackThread) {
        while (!audioDevice.threadExited) usleep(50000);
        // The thread has left its loop; joining releases it at once.
        pthread_join(audioDevice.playbackThread, nullptr);
        audioDevice.hasPlaybackThread = false;
    }
    devicePlayer.stopRendering = nullptr;
}

}  // namespace

int stopPlayback(Module* module) {
    if (module == nullptr) return 0;
    stopPlaybackThread(devicePlayer);
    endPlayback(devicePlayer);
    return 1;
}

}  // namespace quarbtro
