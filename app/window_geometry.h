#pragma once
// The intro's window and the pictures in it, in pixels: the one place these sizes are set.

namespace quarbtro {

// The window, at (0, 0): the whole of what the intro draws, and what the capture records.
inline constexpr int windowWidth = 660;
inline constexpr int windowHeight = 500;

// The picture the switched video mode shows: 640 x 480 of the window, panned to (20, 30). The
// intro lays out its first frame for this size, before the window manager's first reshape.
inline constexpr int shownWidth = 640;
inline constexpr int shownHeight = 480;

}  // namespace quarbtro
