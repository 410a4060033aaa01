#pragma once
// Drawing the intro's frames at chosen clocks and reading the pictures back, for the capture
// tool, the picture tests and the frame grabber. Everything goes through the intro's own
// start-up and frame function; only the clock is supplied from here, and the video mode is
// never switched.

#include <cstddef>
#include <vector>

namespace quarbtro::frames {

struct Rgb {
    int r, g, b;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // rows top first, 3 bytes a pixel
    Rgb at(int x, int y) const {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

// The intro's init (keeping the video mode) and buildVisuals (no player), with the clock taken
// from drawAt; returns once the window has its real size. The shell's quit path stays
// installed.
void openIntro(int* argc, char** argv);
// One frame at this clock: drawFrame, the back buffer read, then the swap. The clocks of
// successive calls must not go backwards (scenes fire their events once).
Picture drawAt(int clock);

}  // namespace quarbtro::frames
