#pragma once
// Rendering a song offline, block by block, from one load: how xmrender, the capture's sound,
// the speed bench and the fuzz target turn a module into audio. A render either plays the song
// a number of times (each time until it comes back to a row it has played: its natural end, a
// jump back or a song loop; see song_length.h) or renders an exact number of frames; it may
// leave out the song's first frames (a start by time: they are rendered, so that what follows
// sounds as it does in the whole song) and stop early with a fade.
//
// Everything runs on the calling thread; the render owns its Player.

#include <cstdint>
#include <functional>

#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

struct SongRenderRequest {
    std::int32_t rate = defaultOutputRate;  // output frames per second
    PlaybackProfile profile = PlaybackProfile::design;  // how the song is played
    std::int32_t startOrder = 0;            // the order position the song starts at
    std::int32_t passes = 1;                // how many times the song plays
    std::int64_t frames = -1;               // exactly this many frames instead; -1: the passes
    std::int64_t skipFrames = 0;            // the song's first frames from the start order, left out
    std::int64_t longestFrames = -1;        // at most this many frames; -1: no limit
    std::int32_t fadeFrames = 0;            // a render the limit cuts short fades out over these
};

struct SongRender {
    Player player;
    const Module* module;
    std::int64_t totalFrames;  // frames the render delivers in all
    std::int64_t framesDone;   // frames delivered so far
    std::int32_t dropFrames;   // frames at the start of the next block that are left out
};

// Prepares a render of a loaded module: finds the song's length by walking it (unless a frame
// count is asked for; song_length.h), sets the player's output rate, starts the song at the
// start order and renders the frames to leave out. 0, with nothing started, when the module
// cannot be played, the start order is not in the song or the frames to leave out are all of
// it. `settle` gives the player its settings (gain, interpolation, ...) before anything is
// rendered; the fade is the request's.
int beginSongRender(SongRender& render, const Module& module, const SongRenderRequest& request,
                    const std::function<void(Player&)>& settle = {});

// Renders the next block into render.player.outputBuffer (16-bit, left then right) and
// render.player.mixBuffer (the same frames as floats, before rounding and clipping). Returns
// how many of the block's frames belong to the render; 0 once it is complete.
int renderSongBlock(SongRender& render);

// Stops the song; the module stays loaded.
void endSongRender(SongRender& render);

}  // namespace quarbtro
