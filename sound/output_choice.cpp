#include "sound/output_choice.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace quarbtro {

std::optional<SoundDevice> soundDeviceNamed(const char* name, bool dspExists) {
    if (name == nullptr || *name == 0) return SoundDevice{dspExists ? &ossBackend : &alsaBackend, ""};
    const char* colon = std::strchr(name, ':');
    const std::string backendName(name, colon ? static_cast<std::size_t>(colon - name) : std::strlen(name));
    for (const SoundBackend* backend : {&ossBackend, &alsaBackend, &nullBackend}) {
        if (backendName != backend->name) continue;
        if (!colon) return SoundDevice{backend, ""};
        if (backend == &nullBackend || colon[1] == 0) return std::nullopt;  // null has no devices
        return SoundDevice{backend, colon + 1};
    }
    return std::nullopt;
}

bool openChosenOutput(SoundOutput& output, const SoundFormat& wanted, OutputError& error,
                      const volatile std::sig_atomic_t* interrupted, const char* named) {
    const char* forced = named ? named : std::getenv("QUARBTRO_AUDIO");
    // How the user named it, for the messages: "-d alsa:hw:1,0", "QUARBTRO_AUDIO=oss".
    const std::string namedBy = named ? std::string("-d ") + named : std::string("QUARBTRO_AUDIO=") + (forced ? forced : "");
    const bool dspExists = access("/dev/dsp", F_OK) == 0;
    const std::optional<SoundDevice> chosen = soundDeviceNamed(forced, dspExists);
    if (!chosen) {
        error.text = namedBy + " names no sound output: use oss, alsa or null, or alsa:DEVICE or oss:PATH";
        return false;
    }
    OutputError why;
    const char* device = chosen->device.empty() ? nullptr : chosen->device.c_str();
    if (openSoundOutput(output, *chosen->backend, wanted, device, why, interrupted)) return true;
    if ((interrupted && *interrupted) || why.stalled)
        error = why;
    else if (forced && *forced)
        error.text = "no sound (" + namedBy + "): " + why.text;
    else if (chosen->backend == &ossBackend)
        error.text = "no sound: " + why.text +
                     "; QUARBTRO_AUDIO=alsa plays through ALSA instead, QUARBTRO_AUDIO=null runs silent";
    else
        error.text = "no sound device: /dev/dsp is missing and " + why.text +
                     "; start the desktop's sound server (PipeWire or PulseAudio), or run silent "
                     "with QUARBTRO_AUDIO=null";
    return false;
}

}  // namespace quarbtro
