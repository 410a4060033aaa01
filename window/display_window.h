#pragma once
// The intro's one window and the owner of the screen's video mode.
//
// The intro's picture fills the screen. Where the X server really switches video modes, the
// constructor switches to a mode of the picture's size and pans it onto the picture wherever
// the window manager put the window; elsewhere (Xwayland, whose modes are only emulated; a
// server without the video-mode extension or without such a mode; a refused switch) it asks
// for fullscreen and the picture is scaled to the largest size with its shape, black beside
// it. In a window of any size the picture fills it so (picture_layout.h); a window of the
// design size is drawn exactly as designed. The cursor is hidden over the window and the
// window takes the input focus.
//
// The saved mode and the pointer are put back by the destructor, and also on every other way
// out of the process: exit() (an atexit handler) and the terminating signals the shell catches
// (restoreVideoMode() is safe to call from its signal thread). A death the process cannot
// handle (SIGKILL, a crash) is covered from outside: the launcher runs the intro under a guard
// (intro/mode_guard.cpp) that remembers the mode first.

#include "window/picture_layout.h"

namespace quarbtro {

// The perspective of every pass: the design window's, whatever the window's size (a window of
// another size shows the design's picture scaled, its shape kept).
struct Projection {
    double fieldOfView;  // degrees, vertical
    double aspect;       // windowWidth / windowHeight
    double nearPlane;    // the single-precision 0.1, widened
    double farPlane;
};
Projection designProjection();

class DisplayWindow {
public:
    enum class Presentation {
        fullScreen,  // the picture fills the screen: the intro's own way
        window,      // a window of the design size, which the user may move and resize; no
                     // mode change (--window, the capture, the picture tests)
    };

    // displayName: the X display GLUT was told to use (null for $DISPLAY).
    explicit DisplayWindow(Presentation presentation = Presentation::fullScreen,
                           const char* displayName = nullptr);
    ~DisplayWindow();
    DisplayWindow(const DisplayWindow&) = delete;
    DisplayWindow& operator=(const DisplayWindow&) = delete;

    // The window's size, from GLUT; 0 counts as 1. Sets the projection.
    void reshape(int w, int h);
    // Clears colour and depth: the picture with color (r, g, b, a), black beside it when
    // scaled. Leaves the scissor test off, so that a pass may draw into a corner of its own.
    void clear(const float color[4]);
    // The viewport of the main pass, from the window's size at this frame: the design window's
    // lower windowWidth x shownHeight where the picture is placed, drawing clipped to the
    // picture when scaled.
    void usePictureViewport();
    // The buffer swap; after a mode switch, the pan kept on the picture should the window move.
    void swap();
    // The frames a second the frame loop should keep to: the display's refresh where the driver
    // does not pace the swaps (no swap interval); 0 where it does.
    double framePacingRate() const { return swapsPaced ? 0 : refresh; }
    // The window manager closed the window and GLUT has destroyed it already.
    void forgetClosedWindow() { window = 0; }

    int window;            // GLUT window identifier; 0 once destroyed
    int height;            // last height given to reshape (at least 1)
    int width;             // last width given to reshape (at least 1)
    PictureLayout layout;  // where the picture goes at the window's size
    bool swapsPaced;       // a swap interval of 1 is set: the driver paces the frames
    double refresh;        // Hz of the display the window is on (60 when nothing says)
    bool connected;        // the X side has a connection of its own

    // Puts back the mode and viewport that were current before the switch, and the pointer.
    // Does nothing when nothing was switched or it has already run; any thread may call it.
    static void restoreVideoMode();
    // For a watcher outside the intro (the launcher's guard), which outlives it: remembers
    // the current mode and viewport over a connection of its own. False without a display or
    // the video-mode extension.
    static bool rememberVideoMode(const char* displayName);
    // Puts back the remembered mode and viewport where they are no longer current (an intro
    // killed before it could restore them); leaves them alone where they are.
    static void restoreRememberedVideoMode();
    // Whether an X display can be opened at all (null: $DISPLAY). The connection it opens stays
    // open until the next call, so that the server does not reset before GLUT connects.
    static bool canConnect(const char* displayName);
};

}  // namespace quarbtro
