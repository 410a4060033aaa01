#pragma once
// The intro's window and the pictures in it, in pixels: the one place these sizes are set.

namespace quarbtro {

// The window, at (0, 0): the whole of what the intro draws, and what the capture records.
inline constexpr int windowWidth = 660;
inline constexpr int windowHeight = 500;

// The picture: the 640 x 480 of the window that a switched video mode shows, from (20, 20) down
// from the window's top-left corner. Its main pass draws into the window's lower 660 x 480 (the
// clear colour shows in the 20 rows above), of which the picture leaves out the 20 columns on
// the left.
inline constexpr int shownWidth = 640;
inline constexpr int shownHeight = 480;
inline constexpr int shownLeft = windowWidth - shownWidth;
inline constexpr int shownTop = windowHeight - shownHeight;

}  // namespace quarbtro
