#pragma once
// The one place that chooses the sound backend, for the intro and xmplay alike:
// QUARBTRO_AUDIO=oss|alsa|null forces one; otherwise the OSS device where /dev/dsp exists, and
// ALSA's default device (today's desktops: PipeWire or PulseAudio) where it does not.

#include <csignal>

#include "sound/sound_output.h"

namespace quarbtro {

// The backend for a QUARBTRO_AUDIO value (null or empty: not forced) on a machine that has
// /dev/dsp or not; null for a value that names no backend.
const SoundBackend* chooseSoundBackend(const char* forced, bool dspExists);

// Chooses by the environment and opens. On failure `error` is one line saying what is missing
// and how to get sound; or, for a device that did not answer in time (stalled), why.
bool openChosenOutput(SoundOutput& output, const SoundFormat& wanted, OutputError& error,
                      const volatile std::sig_atomic_t* interrupted = nullptr);

}  // namespace quarbtro
