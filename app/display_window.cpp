#include "display_window.h"

#include <GL/glut.h>
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>
#include <fcntl.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "mode_choice.h"
#include "window_geometry.h"

namespace quarbtro {

namespace {

// The video-mode state lives beside the window: one window per process.
Display* modeDisplay = nullptr;   // our own connection, distinct from GLUT's; never closed
int modeScreen = 0;
XF86VidModeModeInfo savedMode;    // the mode current at start-up
int savedViewportX = 0, savedViewportY = 0;
bool modeSwitched = false;        // a switch was sent and has not been undone
bool modeRemembered = false;      // a watcher outside the intro holds the mode to put back
// Recursive: an X I/O error inside the restore calls exit(), which runs the atexit restore on
// the same thread; modeSwitched is already false by then, so that call returns at once.
std::recursive_mutex modeMutex;
XErrorHandler previousErrorHandler = nullptr;
bool atexitInstalled = false;

// A server may refuse a switch or pan (BadValue, for instance). Errors on our own connection
// are dropped so the intro goes on in the current mode; errors on GLUT's connection keep
// their usual handling.
int dropErrorsOnModeDisplay(Display* display, XErrorEvent* event) {
    if (display == modeDisplay) return 0;
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

void restoreAtExit() { DisplayWindow::restoreVideoMode(); }

// Opens our own connection and reads the server's mode list, whose first entry is the current
// mode. False (with nothing to free) without a display, the extension or any mode.
bool readModeLines(const char* displayName, int& count, XF86VidModeModeInfo**& modes) {
    modeDisplay = XOpenDisplay(displayName);
    if (!modeDisplay) return false;
    modeScreen = DefaultScreen(modeDisplay);
    int eventBase = 0, errorBase = 0;
    if (!XF86VidModeQueryExtension(modeDisplay, &eventBase, &errorBase)) return false;
    previousErrorHandler = XSetErrorHandler(dropErrorsOnModeDisplay);
    count = 0;
    modes = nullptr;
    if (!XF86VidModeGetAllModeLines(modeDisplay, modeScreen, &count, &modes) || count <= 0 ||
        !modes) {
        if (modes) XFree(modes);
        return false;
    }
    return true;
}

void switchVideoMode(const char* displayName) {
    int count = 0;
    XF86VidModeModeInfo** modes = nullptr;
    if (!readModeLines(displayName, count, modes)) return;
    std::vector<ModeSize> sizes;
    for (int i = 0; i < count; ++i) sizes.push_back({modes[i]->hdisplay, modes[i]->vdisplay});
    const int chosen = chooseMode(sizes);
    XF86VidModeGetViewPort(modeDisplay, modeScreen, &savedViewportX, &savedViewportY);
    Window root = RootWindow(modeDisplay, modeScreen);

    std::lock_guard lock(modeMutex);
    savedMode = *modes[0];
    if (!atexitInstalled) {
        atexitInstalled = true;
        std::atexit(restoreAtExit);
    }
    modeSwitched = true;
    XWarpPointer(modeDisplay, None, root, 0, 0, 0, 0, 50, 50);
    XF86VidModeSwitchToMode(modeDisplay, modeScreen, modes[chosen]);
    XF86VidModeSetViewPort(modeDisplay, modeScreen, 20, 30);
    XWarpPointer(modeDisplay, None, root, 0, 0, 0, 0, 660, 510);
    XFree(modes);
    // A round trip rather than a flush, so that a refusal arrives (and is dropped) now.
    XSync(modeDisplay, False);
}

}  // namespace

Projection projectionFor(int width, int height) {
    if (width == 0) width = 1;
    if (height == 0) height = 1;
    return {0, 10, width, height, 45.0, static_cast<double>(width) / height,
            static_cast<double>(0.1f), 100.0};
}

DisplayWindow::DisplayWindow(VideoMode videoMode, const char* displayName)
    : window(0), height(1), width(1), clearColor{0, 0, 0, 1} {
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(windowWidth, windowHeight);
    window = glutCreateWindow("Quarbtro by Tessk");
    if (videoMode == VideoMode::switchMode) switchVideoMode(displayName);
    setClearColor(0, 0, 0);
}

DisplayWindow::~DisplayWindow() {
    if (window) glutDestroyWindow(window);
    restoreVideoMode();
}

void DisplayWindow::restoreVideoMode() {
    std::lock_guard lock(modeMutex);
    if (!modeSwitched) return;
    modeSwitched = false;
    XF86VidModeSwitchToMode(modeDisplay, modeScreen, &savedMode);
    XF86VidModeSetViewPort(modeDisplay, modeScreen, savedViewportX, savedViewportY);
    XSync(modeDisplay, False);
}

bool DisplayWindow::rememberVideoMode(const char* displayName) {
    int count = 0;
    XF86VidModeModeInfo** modes = nullptr;
    if (!readModeLines(displayName, count, modes)) return false;
    // The watcher starts the intro: its connection must not leak into that process.
    fcntl(ConnectionNumber(modeDisplay), F_SETFD, FD_CLOEXEC);
    std::lock_guard lock(modeMutex);
    savedMode = *modes[0];
    XF86VidModeGetViewPort(modeDisplay, modeScreen, &savedViewportX, &savedViewportY);
    XFree(modes);
    modeRemembered = true;
    return true;
}

void DisplayWindow::restoreRememberedVideoMode() {
    std::lock_guard lock(modeMutex);
    if (!modeRemembered) return;
    int dotClock = 0;
    XF86VidModeModeLine current{};
    XF86VidModeGetModeLine(modeDisplay, modeScreen, &dotClock, &current);
    if (current.privsize > 0 && current.c_private) XFree(current.c_private);
    int viewportX = 0, viewportY = 0;
    XF86VidModeGetViewPort(modeDisplay, modeScreen, &viewportX, &viewportY);
    // Switching to the mode already current may still make a real screen blank for a moment.
    const bool modeChanged = static_cast<unsigned>(dotClock) != savedMode.dotclock ||
                             current.hdisplay != savedMode.hdisplay ||
                             current.vdisplay != savedMode.vdisplay ||
                             current.htotal != savedMode.htotal ||
                             current.vtotal != savedMode.vtotal;
    if (modeChanged) XF86VidModeSwitchToMode(modeDisplay, modeScreen, &savedMode);
    if (modeChanged || viewportX != savedViewportX || viewportY != savedViewportY)
        XF86VidModeSetViewPort(modeDisplay, modeScreen, savedViewportX, savedViewportY);
    XSync(modeDisplay, False);
}

bool DisplayWindow::canConnect(const char* displayName) {
    // The connection stays open: a server resets when its last client leaves (Xvfb, Xorg
    // without -noreset), and during that reset GLUT's own connection, made just after this
    // test, would be refused.
    static Display* probe = nullptr;
    if (probe) XCloseDisplay(probe);
    probe = XOpenDisplay(displayName);
    return probe != nullptr;
}

void DisplayWindow::reshape(int w, int h) {
    const Projection projection = projectionFor(w, h);
    width = projection.width;
    height = projection.height;
    glViewport(projection.x, projection.y, projection.width, projection.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(projection.fieldOfView, projection.aspect, projection.nearPlane,
                   projection.farPlane);
}

void DisplayWindow::clear() {
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DisplayWindow::setClearColor(float r, float g, float b) {
    clearColor[0] = r;
    clearColor[1] = g;
    clearColor[2] = b;
    clearColor[3] = 1.0f;
}

void DisplayWindow::swap() { glutSwapBuffers(); }

}  // namespace quarbtro
