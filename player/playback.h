#pragma once
// Playback control without the device: preparing a module for rendering, the tempo, and the
// position a renderer publishes after each block.
//
// beginPlayback and endPlayback run on the controlling thread while no block renders (before
// the playback thread is created, after it has stopped); setBpm runs inside a sequencer tick on
// the rendering thread; the position getters may run on any thread.

#include <cstdint>

#include "player/module.h"

namespace quarbtro {

// Output frames per tick at a rate and BPM: rate x (1000 / (bpm x 2 / 5)) / 1000 in extended
// precision, truncated (882 at 44,100 Hz and 125 BPM). A BPM below 1 counts as 1.
std::int32_t samplesPerTickAt(std::int32_t rate, std::int32_t bpm);

// Stores the BPM and the tick length that follows from it. Frames already owed to the current
// tick are not changed.
void setBpm(Module* module, std::int32_t bpm);

// Resets the song to its start (order 0, row 0, its default speed and BPM, full global
// volume), zero-fills its channels and links channel i to voice i, makes it the current module
// and allocates the mix buffer for configureAudioOutput's block size. Returns 0 (changing
// nothing) for a null module, for one that needs more than 32 channels, and when the mix
// buffer cannot be allocated (a channel count below 0 too); 1 otherwise. The voices keep their state.
int beginPlayback(Module* module);

// Frees the mix buffer and forgets the current module.
void endPlayback();

// The position published after the last rendered block; 0 for a null module.
std::int32_t getOrderPosition(const Module* module);
std::int32_t getRow(const Module* module);
std::int32_t getPlayedMs(const Module* module);

}  // namespace quarbtro
