#pragma once
// Playback control without a device: preparing a module for rendering on a player, the tempo,
// and the position a renderer publishes after each block.
//
// beginPlayback and endPlayback run on the controlling thread while no block renders (before
// a playback thread is created, after it has stopped); setBpm runs inside a sequencer tick on
// the rendering thread; the position getters may run on any thread.

#include <cstdint>

#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

// Output frames per tick at a rate and BPM: rate x (1000 / (bpm x 2 / 5)) / 1000 in extended
// precision, truncated (882 at 44,100 Hz and 125 BPM). A BPM below 1 counts as 1.
std::int32_t samplesPerTickAt(std::int32_t rate, std::int32_t bpm);

// Stores the BPM and the tick length that follows from it at the player's rate. Frames already
// owed to the current tick are not changed.
void setBpm(Player& player, std::int32_t bpm);

// Starts the song on the player at the first row of an order position (0 unless asked): its
// default speed and BPM, its initial global volume, no effect memory; zero-fills the player's
// channels and links channel i to voice i, takes each sample's finetune from the song, makes
// the module the player's current one and allocates the mix buffer for configureOutput's block
// size. Returns 0 (changing nothing) for a null module, for one that needs more than 32
// channels, for an order position outside the song (see startAtOrder) and when the mix buffer
// cannot be allocated; 1 otherwise. The voices keep their state; the module is only read, here
// and while it plays.
int beginPlayback(Player& player, const Module* module, std::int32_t startOrder = 0);

// Moves the song playing on the player to the first row of an order position (0 .. songLength
// - 1, and 0 in a song of length 0; others are refused with 0), as a position jump would, at
// its next row tick.
int startAtOrder(Player& player, std::int32_t orderPosition);

// Frees the mix buffer and forgets the current module.
void endPlayback(Player& player);

// The position published after the last rendered block; 0 for a null module.
std::int32_t getOrderPosition(const Player& player, const Module* module);
std::int32_t getRow(const Player& player, const Module* module);
std::int32_t getPlayedMs(const Player& player, const Module* module);

// How the song plays, as published after the last rendered block; zeros for a null module.
struct PlayingState {
    std::int32_t speed;              // ticks per row
    std::int32_t bpm;                // beats per minute
    std::int32_t soundingChannels;   // channels whose voice plays a sample at a volume above 0
};
PlayingState getPlayingState(const Player& player, const Module* module);

}  // namespace quarbtro
