#pragma once
// How long a song plays before it repeats itself: the output frames from the start until the
// sequencer first comes back to an order position and row it has already played (the natural
// end, a jump back, a song loop). A row that a pattern loop (E6x) plays again is not a repeat:
// the loop counters of the channels are part of what "already played" compares, so a loop's
// passes count as the song going on.

#include <cstdint>

#include "player/module.h"

namespace quarbtro {

// Runs only the sequencer (no mixing) from the state beginPlayback left, tick by tick, and
// returns the frame at which the first repeated row would start, or capFrames when none comes
// before it. Changes the module's play state, the channels and the voices as playing would.
std::int64_t framesUntilRepeat(Module& module, std::int64_t capFrames);

}  // namespace quarbtro
