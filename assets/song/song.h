#pragma once
// The intro's song, composed in code: an XM module in A minor whose sections follow the intro's
// time line (black until 2.2 s, the scroller until 17.0 s, the tunnel until 35.0 s, the credits
// until 40.0 s, the blue screen until the intro quits at 42.5 s), then loops to its start.

#include <cstdint>
#include <vector>

#include "player/module_draft.h"

namespace quarbtro::song {

// Synthesises the instruments, writes the patterns and sets the header and order list of a
// draft made with eight channels.
void composeSong(ModuleDraft& draft);

// The module's bytes, as written to assets/song.xm.
std::vector<std::uint8_t> songBytes();

}  // namespace quarbtro::song
