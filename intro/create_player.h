#pragma once
// Bringing up the intro's music: the embedded song, loaded from memory, played by the playback
// thread on the sound output the chooser picks (output_choice.h). The intro has one playback
// for its whole run, this process-wide one.

#include <cstdint>
#include <string>

#include "player/module.h"
#include "sound/sound_playback.h"

namespace quarbtro {

// Opens the sound output at 44,100 Hz, loads the embedded song and starts playing it. Returns
// the playing module, or null with the problem in one line: no sound output could be opened
// (what is missing and how to get sound; nothing is loaded then), or the song does not load
// (the output is closed again). The caller ends the process. A device that does not open in
// time (a stalled sound server) is no reason to stop: the song plays on the null sink and the
// playback's fault says why.
const Module* createPlayer(std::string& problem);

// The same over any XM bytes, which need to stay valid only during the call.
const Module* createPlayerFor(const void* song, std::int32_t size, std::string& problem);

// The intro's playback.
SoundPlayback& introPlayback();

}  // namespace quarbtro
