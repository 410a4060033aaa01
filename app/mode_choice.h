#pragma once
// Which video mode the intro switches to, decided over the server's mode list alone so that
// the choice can be tested without an X server.

#include <cstdint>
#include <span>

namespace quarbtro {

// The two fields of a server mode line that the choice looks at, in pixels.
struct ModeSize {
    std::uint16_t hdisplay;
    std::uint16_t vdisplay;
};

// Index of the mode to switch to. Entry 0 is the current mode. The list is walked in order with
// a running best that starts at entry 0; an entry replaces the best when it is strictly
// narrower and strictly lower than the best and its height is not 0. The result is therefore
// the end of a chain of ever smaller modes, not a search for one size; an empty list gives 0.
int chooseMode(std::span<const ModeSize> modes);

}  // namespace quarbtro
