// ALSA's default device, or another one named (hw:1,0): the only file that knows ALSA. On
// today's desktops "default" goes to the PipeWire server (pipewire-alsa's plugin) or to
// PulseAudio (the pulse plugin), elsewhere to the sound card.
//
// Opened non-blocking, for interleaved samples in the wanted format and exactly the wanted rate
// (a plugin resamples where the card cannot), with a queue of 8,192 frames (186 ms at 44,100
// Hz, twice what the OSS device holds: docs/benchmarks.md says why) in periods of 2,048.
// Nothing here ever blocks: the wait for room is snd_pcm_wait with a timeout, and a write takes
// what fits.
//
// What a sound server does when it fails, as measured: PulseAudio killed, every wait and write
// returns -EIO and so does recovery; PipeWire killed, every write returns -EPIPE at once, even
// right after a recovery that succeeded; either stalled (SIGSTOP), waits time out and writes
// take nothing until it resumes, then one -EPIPE (an underrun) and playing goes on. Telling a
// lost device from an underrun is left to the playback thread, which sees whether frames are
// still taken. PipeWire's underrun after a stall comes with its queue still full (avail 0):
// the recovery drops that audio unplayed, and says so, so that it is never counted as heard.

#include <alsa/asoundlib.h>

#include <cstdio>
#include <new>

#include "sound/sound_output.h"

namespace quarbtro {

namespace {

constexpr snd_pcm_uframes_t queueFrames = 8192;
constexpr snd_pcm_uframes_t periodFrames = 2048;

struct AlsaState {
    snd_pcm_t* pcm;
    // Frames taken since the device was last prepared (opened or recovered). Before the
    // stream starts PulseAudio's plugin cannot say its delay; nothing has been heard then.
    long framesSincePrepare;
};

AlsaState& stateOf(SoundOutput& output) { return *static_cast<AlsaState*>(output.state); }

// ALSA and its plugins print their own errors on standard error; ours say what failed once, in
// the program's words.
void dropLibraryMessage(const char*, int, const char*, int, const char*, ...) {}

// "ALSA's default device", "ALSA device hw:1,0"
std::string deviceName(const char* device) {
    return device ? std::string("ALSA device ") + device : std::string("ALSA's default device");
}

bool fail(OutputError& error, const char* device, const char* what, int code) {
    error.text = deviceName(device) + ": " + what + ": " + snd_strerror(code);
    return false;
}

// Every setting the player needs, each refused setting named.
bool configure(snd_pcm_t* pcm, const SoundFormat& wanted, snd_pcm_uframes_t& buffer, const char* device,
               OutputError& error) {
    snd_pcm_hw_params_t* hardware;
    snd_pcm_hw_params_alloca(&hardware);
    int code = snd_pcm_hw_params_any(pcm, hardware);
    if (code < 0) return fail(error, device, "no configuration", code);
    if ((code = snd_pcm_hw_params_set_access(pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return fail(error, device, "interleaved access", code);
    if ((code = snd_pcm_hw_params_set_format(pcm, hardware, SND_PCM_FORMAT_S16_LE)) < 0)
        return fail(error, device, "16-bit little-endian samples", code);
    if ((code = snd_pcm_hw_params_set_channels(pcm, hardware, static_cast<unsigned>(wanted.channels))) < 0)
        return fail(error, device, "the channel count", code);
    if ((code = snd_pcm_hw_params_set_rate(pcm, hardware, static_cast<unsigned>(wanted.rate), 0)) < 0)
        return fail(error, device, "the rate", code);
    buffer = queueFrames;
    if ((code = snd_pcm_hw_params_set_buffer_size_near(pcm, hardware, &buffer)) < 0)
        return fail(error, device, "the buffer size", code);
    snd_pcm_uframes_t period = periodFrames;
    int direction = 0;
    if ((code = snd_pcm_hw_params_set_period_size_near(pcm, hardware, &period, &direction)) < 0)
        return fail(error, device, "the period size", code);
    if ((code = snd_pcm_hw_params(pcm, hardware)) < 0) return fail(error, device, "the settings", code);
    return true;
}

bool open(SoundOutput& output, const SoundFormat& wanted, const char* device, OutputError& error) {
    if (wanted.encoding != SampleEncoding::s16LittleEndian)
        return fail(error, device, "the sample format", -EINVAL);
    snd_lib_error_set_handler(dropLibraryMessage);
    snd_pcm_t* pcm = nullptr;
    const int code = snd_pcm_open(&pcm, device ? device : "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (code < 0) return fail(error, device, "cannot open it", code);
    snd_pcm_uframes_t buffer = 0;
    if (!configure(pcm, wanted, buffer, device, error)) {
        snd_pcm_close(pcm);
        return false;
    }
    output.state = new (std::nothrow) AlsaState{pcm, 0};
    if (output.state == nullptr) {
        snd_pcm_close(pcm);
        return fail(error, device, "out of memory", -ENOMEM);
    }
    output.format = wanted;
    output.bufferFrames = static_cast<std::int32_t>(buffer);
    return true;
}

long waitForRoom(SoundOutput& output, int timeoutMs) {
    snd_pcm_t* pcm = stateOf(output).pcm;
    const int ready = snd_pcm_wait(pcm, timeoutMs);
    if (ready < 0) return ready;
    if (ready == 0) return 0;
    return static_cast<long>(snd_pcm_avail_update(pcm));
}

long write(SoundOutput& output, const void* samples, long frames) {
    AlsaState& alsa = stateOf(output);
    const snd_pcm_sframes_t taken =
        snd_pcm_writei(alsa.pcm, samples, static_cast<snd_pcm_uframes_t>(frames));
    if (taken == -EAGAIN) return 0;
    if (taken < 0) return static_cast<long>(taken);
    alsa.framesSincePrepare += taken;
    return static_cast<long>(taken);
}

// In an underrun, the frames the device still holds: none after a real underrun (it played
// everything), a whole queue after a stalled PipeWire server's. They will not be played.
long heldInUnderrun(SoundOutput& output) {
    snd_pcm_status_t* status;
    snd_pcm_status_alloca(&status);
    if (snd_pcm_status(stateOf(output).pcm, status) < 0) return 0;
    const long room = static_cast<long>(snd_pcm_status_get_avail(status));
    return room < output.bufferFrames ? output.bufferFrames - room : 0;
}

long queued(SoundOutput& output) {
    AlsaState& alsa = stateOf(output);
    switch (snd_pcm_state(alsa.pcm)) {
        case SND_PCM_STATE_PREPARED: return alsa.framesSincePrepare;  // not started: none heard
        case SND_PCM_STATE_XRUN: return heldInUnderrun(output);
        case SND_PCM_STATE_RUNNING:
        case SND_PCM_STATE_DRAINING: {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(alsa.pcm, &delay) < 0) return -1;
            return delay < 0 ? 0 : static_cast<long>(delay);
        }
        default: return -1;
    }
}

int recover(SoundOutput& output, int error) {
    AlsaState& alsa = stateOf(output);
    const long dropped = snd_pcm_state(alsa.pcm) == SND_PCM_STATE_XRUN ? heldInUnderrun(output) : 0;
    const int code = snd_pcm_recover(alsa.pcm, error, 1);
    if (code < 0) return code;
    alsa.framesSincePrepare = 0;
    return static_cast<int>(dropped);
}

void close(SoundOutput& output) {
    AlsaState& alsa = stateOf(output);
    snd_pcm_close(alsa.pcm);
    delete &alsa;
    output.state = nullptr;
}

}  // namespace

const SoundBackend alsaBackend = {"alsa", "ALSA's default device",
                                  open, waitForRoom, write, queued, recover, close};

}  // namespace quarbtro
