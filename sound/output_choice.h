#pragma once
// The one place that chooses the sound output, for the intro and xmplay alike: a device named
// by the user (xmplay's -d, else QUARBTRO_AUDIO) wins; otherwise the OSS device where /dev/dsp
// exists, and ALSA's default device (today's desktops: PipeWire or PulseAudio) where it does not.

#include <csignal>
#include <optional>
#include <string>

#include "sound/sound_output.h"

namespace quarbtro {

// A sound output as a user names it: "oss", "alsa" or "null", and for ALSA and OSS a device of
// their own after a colon: "alsa:hw:1,0", "alsa:default", "oss:/dev/dsp1". No device: the
// backend's default (ALSA's default device, /dev/dsp).
struct SoundDevice {
    const SoundBackend* backend;
    std::string device;  // "" for the backend's default
};

// The device a name names, on a machine that has /dev/dsp or not (null or "": the default
// choice); nothing for a name that names no sound output ("pulse", "null:x", "alsa:").
std::optional<SoundDevice> soundDeviceNamed(const char* name, bool dspExists);

// Opens the output `named` (xmplay's -d value), else the one QUARBTRO_AUDIO names, else the
// default choice. On failure `error` is one line saying what is missing and how to get sound;
// or, for a device that did not answer in time (stalled), why.
bool openChosenOutput(SoundOutput& output, const SoundFormat& wanted, OutputError& error,
                      const volatile std::sig_atomic_t* interrupted = nullptr, const char* named = nullptr);

}  // namespace quarbtro
