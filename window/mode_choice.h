#pragma once
// Which video mode shows the intro's picture, decided over the server's mode list alone so that
// the choice can be tested without an X server.

#include <cstdint>
#include <span>

namespace quarbtro {

// What the choice looks at in one line of the server's mode list.
struct ModeSize {
    std::uint16_t hdisplay;  // pixels
    std::uint16_t vdisplay;  // pixels
    double refresh;          // Hz; 0 when the line does not say
};

// Index of the mode that shows a picture of width x height whole: of the modes at least that
// wide and that high, the one with the fewest pixels; among modes of that size, the one whose
// refresh is nearest the current mode's (entry 0: the rate the monitor shows best), the
// earliest in the list among equals. -1 when no mode holds the picture (or the list is empty).
int chooseMode(std::span<const ModeSize> modes, int width, int height);

}  // namespace quarbtro
