#pragma once
// Bringing up the intro's music: the embedded song, read through the memory stream, played by
// the playback thread on the sound output the chooser picks (output_choice.h). The intro has
// one playback for its whole run, this process-wide one.

#include <cstdint>

#include "player/module.h"
#include "sound/sound_playback.h"

namespace quarbtro {

// Registers the memory stream over the embedded song, opens the sound output at 44,100 Hz,
// loads the song and starts playback. Returns the playing module, or ends the process with
// status 1: when no sound output can be opened (one line on standard error says what is
// missing and how to get sound; nothing is loaded then), and when the song cannot be loaded
// (the output is closed first; no message, the song is the program's own).
Module* createPlayer();

// The same over any XM bytes, which must stay valid while the module plays.
Module* createPlayerFor(const void* song, std::int32_t size);

// The intro's playback.
SoundPlayback& introPlayback();

// Centiseconds of audio heard so far (the intro's clock); 0 before createPlayer.
int PlaybackClock();

}  // namespace quarbtro
