#include "sound/output_choice.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace quarbtro {

const SoundBackend* chooseSoundBackend(const char* forced, bool dspExists) {
    if (forced == nullptr || *forced == 0) return dspExists ? &ossBackend : &alsaBackend;
    for (const SoundBackend* backend : {&ossBackend, &alsaBackend, &nullBackend})
        if (std::strcmp(forced, backend->name) == 0) return backend;
    return nullptr;
}

bool openChosenOutput(SoundOutput& output, const SoundFormat& wanted, OutputError& error,
                      const volatile std::sig_atomic_t* interrupted) {
    const char* forced = std::getenv("QUARBTRO_AUDIO");
    const bool dspExists = access("/dev/dsp", F_OK) == 0;
    const SoundBackend* backend = chooseSoundBackend(forced, dspExists);
    if (backend == nullptr) {
        error.text = std::string("QUARBTRO_AUDIO=") + forced + " names no sound output: use oss, alsa or null";
        return false;
    }
    OutputError why;
    if (openSoundOutput(output, *backend, wanted, nullptr, why, interrupted)) return true;
    if ((interrupted && *interrupted) || why.stalled)
        error = why;
    else if (forced && *forced)
        error.text = std::string("no sound (QUARBTRO_AUDIO=") + forced + "): " + why.text;
    else if (backend == &ossBackend)
        error.text = "no sound: " + why.text +
                     "; QUARBTRO_AUDIO=alsa plays through ALSA instead, QUARBTRO_AUDIO=null runs silent";
    else
        error.text = "no sound device: /dev/dsp is missing and " + why.text +
                     "; start the desktop's sound server (PipeWire or PulseAudio), or run silent "
                     "with QUARBTRO_AUDIO=null";
    return false;
}

}  // namespace quarbtro
