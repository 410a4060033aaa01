#pragma once
// Block rendering: fills player.outputBuffer with the next blockFrames frames of the player's
// current module, alternating sequencer ticks and mixing; player.mixBuffer keeps the same
// frames as floats, before rounding and clipping. A tick can straddle two blocks; the frames
// still owed to it are carried in the player's song.samplesLeftInTick. Called by a playback thread,
// or by an offline renderer on its own thread, after beginPlayback.

#include "player/player.h"

namespace quarbtro {

void renderBlock(Player& player);

}  // namespace quarbtro
