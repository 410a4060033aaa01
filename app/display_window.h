#pragma once
// The intro's one window and the owner of the screen's video mode.
//
// The constructor creates the GLUT window and, over an X connection of its own, switches the
// screen to a smaller mode from the server's list, pans the viewport onto the window and moves
// the pointer out of the picture. The saved mode is put back by the destructor, and also on
// every other way out of the process: exit() (an atexit handler) and the terminating signals
// the shell catches (restoreVideoMode() is safe to call from its signal thread). A death the
// process cannot handle (SIGKILL, a crash) is covered from outside: the launcher runs the intro
// under a guard (tools/mode_guard.cpp) that remembers the mode first. Where the server has no
// video-mode extension, or refuses a request, the window simply stays in the current mode.

namespace quarbtro {

// Viewport and perspective that reshape() sets for a window size.
struct Projection {
    int x, y;            // viewport origin: 10 pixels up from the bottom edge
    int width, height;   // at least 1 each
    double fieldOfView;  // degrees, vertical
    double aspect;       // width / height
    double nearPlane;    // the single-precision 0.1, widened
    double farPlane;
};
Projection projectionFor(int width, int height);

class DisplayWindow {
public:
    enum class VideoMode { switchMode, keepMode };

    // displayName: the X display GLUT was told to use (null for $DISPLAY).
    explicit DisplayWindow(VideoMode videoMode = VideoMode::switchMode,
                           const char* displayName = nullptr);
    ~DisplayWindow();
    DisplayWindow(const DisplayWindow&) = delete;
    DisplayWindow& operator=(const DisplayWindow&) = delete;

    void reshape(int w, int h);
    // Clears colour and depth with clearColor.
    void clear();
    // Takes effect at the next clear().
    void setClearColor(float r, float g, float b);
    void swap();
    // The window manager closed the window and GLUT has destroyed it already.
    void forgetClosedWindow() { window = 0; }

    int window;            // GLUT window identifier; 0 once destroyed
    int height;            // last height given to reshape (at least 1)
    int width;             // last width given to reshape (at least 1)
    float clearColor[4];   // r, g, b, a

    // Puts back the mode and viewport that were current before the switch. Does nothing when
    // nothing was switched or it has already run; any thread may call it.
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
