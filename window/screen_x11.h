#pragma once
// The X side of the intro's window, inside the window library: the video mode, the window
// manager, the pointer and the input focus, over an X connection of its own (distinct from
// GLUT's). Only display_window.cpp uses it.

#include <X11/Xlib.h>

namespace quarbtro::screen {

// Opens the connection and finds GLUT's window on it. False without a display.
bool connect(const char* displayName, Window window);

// Waits (up to a few seconds) until the window is shown, placed and decorated by the window
// manager, if there is one. False when it never is (an iconic start, say).
bool awaitShown();

// The picture of shownWidth x shownHeight on the screen through a video mode of that size,
// panned onto the picture in the window wherever the window manager put it, the pointer moved
// over the picture (where the cursor is hidden). False, with nothing changed, where that cannot
// work: Xwayland (its modes are only emulated), no video-mode extension, no mode of the
// picture's size besides the current one, a window the pan cannot reach, a refused request.
bool showPictureInVideoMode();

// After a switch: keeps the pan on the picture when the window is moved (cheap when it is not:
// no round trip to the server). Called once a frame.
void followWindow();

// Fullscreen through the window manager (EWMH); without one, the window is moved and sized
// over the whole screen. No mode change, no pointer warp.
void makeFullscreen();

// Gives the window the input focus, so the keys reach it also with no window manager.
void takeFocus();

// The refresh of what the screen shows (the switched mode, else the window's output from
// RandR, else the current mode line), Hz; 60 when nothing says.
double refreshRate();

// Puts back the mode, the viewport and the pointer where a switch changed them. Safe on any
// thread, more than once.
void restore();

// For the launcher's guard: remembers the current mode and viewport over a connection of its
// own, and puts them back where they are no longer current.
bool remember(const char* displayName);
void restoreRemembered();

}  // namespace quarbtro::screen
