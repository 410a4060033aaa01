#pragma once
// Bringing up the intro's music: the embedded song, read through the memory stream, played on
// the sound device by the playback thread.

#include <cstdint>

#include "player/module.h"

namespace quarbtro {

// Registers the memory stream over the embedded song, opens the sound device at 44,100 Hz,
// loads the song and starts playback. Returns the playing module, or ends the process with
// status 1 and no message: when the device cannot be opened (nothing is loaded then) and when
// the song cannot be loaded (the device is closed first).
Module* createPlayer();

// The same over any XM bytes, which must stay valid while the module plays.
Module* createPlayerFor(const void* song, std::int32_t size);

}  // namespace quarbtro
