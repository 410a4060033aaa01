#include "screen_x11.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/xf86vmode.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "mode_choice.h"
#include "window_geometry.h"

namespace quarbtro::screen {

namespace {

// The X side's state: one window per process. The main thread writes it during start-up and
// reads the connection's events once a frame; restore() runs on the main thread, in exit() or
// on the signal thread. Whatever uses the connection after start-up holds stateMutex.
struct ScreenState {
    Display* display = nullptr;  // our own connection, distinct from GLUT's; never closed
    int screen = 0;
    Window root = 0;
    Window window = 0;           // GLUT's window
    int droppedErrors = 0;       // X errors on our connection, counted and dropped
    // What a switch changed, to be put back.
    XF86VidModeModeInfo savedMode{};   // the mode current before the switch
    int savedViewportX = 0, savedViewportY = 0;
    int savedPointerX = 0, savedPointerY = 0;  // on the root window
    bool modeSwitched = false;   // a switch was sent and has not been undone
    double switchedRefresh = 0;  // Hz of the mode switched to
    int panX = 0, panY = 0;      // the viewport's origin while switched: the picture's
    bool remembered = false;     // the guard holds a mode to put back
};
ScreenState state;
// Recursive: an X I/O error inside the restore calls exit(), which runs the atexit restore on
// the same thread; modeSwitched is already false by then, so that call returns at once.
std::recursive_mutex stateMutex;
XErrorHandler previousErrorHandler = nullptr;

// A server may refuse a request (a switch, a pan, the focus of a window not yet shown): errors
// on our own connection are counted and dropped, errors on GLUT's keep their usual handling.
int dropErrorsOnOurConnection(Display* display, XErrorEvent* event) {
    if (display == state.display) {
        ++state.droppedErrors;
        return 0;
    }
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

bool open(const char* displayName) {
    state.display = XOpenDisplay(displayName);
    if (!state.display) return false;
    state.screen = DefaultScreen(state.display);
    state.root = RootWindow(state.display, state.screen);
    if (!previousErrorHandler) previousErrorHandler = XSetErrorHandler(dropErrorsOnOurConnection);
    return true;
}

double refreshOf(const XF86VidModeModeInfo& mode) {
    if (mode.htotal == 0 || mode.vtotal == 0) return 0;
    return mode.dotclock * 1000.0 / (static_cast<double>(mode.htotal) * mode.vtotal);
}

// The server's mode list, whose first entry is the current mode; empty without the extension.
struct ModeLines {
    XF86VidModeModeInfo** modes = nullptr;
    int count = 0;
    ModeLines() {
        int eventBase = 0, errorBase = 0;
        if (!XF86VidModeQueryExtension(state.display, &eventBase, &errorBase) ||
            !XF86VidModeGetAllModeLines(state.display, state.screen, &count, &modes) || !modes)
            count = 0;
    }
    ~ModeLines() {
        if (modes) XFree(modes);
    }
    ModeLines(const ModeLines&) = delete;
    ModeLines& operator=(const ModeLines&) = delete;
};

void restoreAtExit() { restore(); }

// Xwayland offers the video-mode extension, but a switch there is seen by the switching client
// alone, and the screen is not panned.
bool isXwayland() {
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (XQueryExtension(state.display, "XWAYLAND", &opcode, &eventBase, &errorBase)) return true;
    if (!XRRQueryExtension(state.display, &eventBase, &errorBase)) return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(state.display, state.root);
    if (!resources) return false;
    bool found = false;
    for (int i = 0; i < resources->noutput && !found; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(state.display, resources, resources->outputs[i]);
        if (!output) continue;
        found = std::strncmp(output->name, "XWAYLAND", 8) == 0;
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return found;
}

// Where the viewport shows the picture of the window at (x, y) on the root window; false where
// the screen cannot be panned that far.
bool panFor(int x, int y, int& panX, int& panY) {
    panX = x + shownLeft;
    panY = y + shownTop;
    return panX >= 0 && panY >= 0 &&
           panX + shownWidth <= DisplayWidth(state.display, state.screen) &&
           panY + shownHeight <= DisplayHeight(state.display, state.screen);
}

bool windowOnRoot(int& x, int& y) {
    Window child;
    return XTranslateCoordinates(state.display, state.window, state.root, 0, 0, &x, &y, &child);
}

std::vector<Atom> atomsOf(Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<Atom> atoms;
    if (XGetWindowProperty(state.display, window, property, 0, 4096, False, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);  // Xlib's 32-bit format
        for (unsigned long i = 0; i < count; ++i) atoms.push_back(static_cast<Atom>(values[i]));
    }
    if (data) XFree(data);
    return atoms;
}

// An EWMH window manager is running (its check window names itself) and supports `wanted`.
bool windowManagerSupports(const char* wanted) {
    const Atom check = XInternAtom(state.display, "_NET_SUPPORTING_WM_CHECK", False);
    const std::vector<Atom> fromRoot = atomsOf(state.root, check);
    if (fromRoot.empty()) return false;
    const std::vector<Atom> fromItself = atomsOf(static_cast<Window>(fromRoot[0]), check);
    if (fromItself.empty() || fromItself[0] != fromRoot[0]) return false;
    const Atom atom = XInternAtom(state.display, wanted, False);
    for (Atom supported : atomsOf(state.root, XInternAtom(state.display, "_NET_SUPPORTED", False)))
        if (supported == atom) return true;
    return false;
}

void restoreLocked() {
    if (!state.modeSwitched) return;
    state.modeSwitched = false;
    XF86VidModeSwitchToMode(state.display, state.screen, &state.savedMode);
    XF86VidModeSetViewPort(state.display, state.screen, state.savedViewportX,
                           state.savedViewportY);
    XWarpPointer(state.display, None, state.root, 0, 0, 0, 0, state.savedPointerX,
                 state.savedPointerY);
    XSync(state.display, False);
}

}  // namespace

bool connect(const char* displayName, Window window) {
    if (!open(displayName)) return false;
    state.window = window;
    return true;
}

bool awaitShown() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(state.display, state.window, &attributes) &&
            attributes.map_state == IsViewable)
            return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool showPictureInVideoMode() {
    if (isXwayland()) return false;
    ModeLines lines;
    std::vector<ModeSize> sizes;
    for (int i = 0; i < lines.count; ++i) {
        const XF86VidModeModeInfo& mode = *lines.modes[i];
        sizes.push_back({mode.hdisplay, mode.vdisplay, refreshOf(mode)});
    }
    const int chosen = chooseMode(sizes, shownWidth, shownHeight);
    // A larger mode would show more than the picture; the current mode needs no switch. Both
    // are better served scaled, fullscreen.
    if (chosen <= 0 || sizes[chosen].hdisplay != shownWidth ||
        sizes[chosen].vdisplay != shownHeight)
        return false;
    int x = 0, y = 0, panX = 0, panY = 0;
    if (!windowOnRoot(x, y) || !panFor(x, y, panX, panY)) return false;

    std::lock_guard lock(stateMutex);
    Window rootReturn, child;
    int windowX = 0, windowY = 0;
    unsigned buttons = 0;
    XQueryPointer(state.display, state.root, &rootReturn, &child, &state.savedPointerX,
                  &state.savedPointerY, &windowX, &windowY, &buttons);
    state.savedMode = *lines.modes[0];
    XF86VidModeGetViewPort(state.display, state.screen, &state.savedViewportX,
                           &state.savedViewportY);
    static const bool atexitInstalled = std::atexit(restoreAtExit) == 0;
    (void)atexitInstalled;
    state.droppedErrors = 0;
    state.modeSwitched = true;
    // The pointer over the middle of the picture first: the server keeps the pointer inside
    // the part of the screen it shows, and the cursor is hidden there.
    XWarpPointer(state.display, None, state.root, 0, 0, 0, 0, panX + shownWidth / 2,
                 panY + shownHeight / 2);
    XF86VidModeSwitchToMode(state.display, state.screen, lines.modes[chosen]);
    XF86VidModeSetViewPort(state.display, state.screen, panX, panY);
    // A round trip, so that a refusal has arrived (and been counted) now.
    XSync(state.display, False);
    int viewportX = -1, viewportY = -1;
    XF86VidModeGetViewPort(state.display, state.screen, &viewportX, &viewportY);
    if (state.droppedErrors > 0 || viewportX != panX || viewportY != panY) {
        restoreLocked();
        return false;
    }
    state.switchedRefresh = sizes[chosen].refresh;
    state.panX = panX;
    state.panY = panY;
    // Moves of the window reach us as configure events (a window manager sends one to the
    // window when it moves the frame around it).
    XSelectInput(state.display, state.window, StructureNotifyMask);
    return true;
}

void followWindow() {
    // The whole of it under the lock: the signal thread's restore uses the same connection.
    std::lock_guard lock(stateMutex);
    bool moved = false;
    while (XPending(state.display) > 0) {
        XEvent event;
        XNextEvent(state.display, &event);
        moved |= event.type == ConfigureNotify || event.type == ReparentNotify ||
                 event.type == MapNotify;
    }
    int x = 0, y = 0, panX = 0, panY = 0;
    if (!moved || !state.modeSwitched || !windowOnRoot(x, y) || !panFor(x, y, panX, panY) ||
        (panX == state.panX && panY == state.panY))
        return;
    state.panX = panX;
    state.panY = panY;
    XF86VidModeSetViewPort(state.display, state.screen, panX, panY);
    XFlush(state.display);
}

void makeFullscreen() {
    if (windowManagerSupports("_NET_WM_STATE_FULLSCREEN")) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = state.window;
        event.xclient.message_type = XInternAtom(state.display, "_NET_WM_STATE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1;  // add
        event.xclient.data.l[1] =
            static_cast<long>(XInternAtom(state.display, "_NET_WM_STATE_FULLSCREEN", False));
        event.xclient.data.l[3] = 1;  // from an application
        XSendEvent(state.display, state.root, False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        // Nobody to ask: the window is the screen's size at its origin, above the others.
        XMoveResizeWindow(state.display, state.window, 0, 0,
                          DisplayWidth(state.display, state.screen),
                          DisplayHeight(state.display, state.screen));
        XRaiseWindow(state.display, state.window);
    }
    XSync(state.display, False);
}

void takeFocus() {
    XSetInputFocus(state.display, state.window, RevertToParent, CurrentTime);
    XSync(state.display, False);
}

double refreshRate() {
    if (state.modeSwitched && state.switchedRefresh > 0) return state.switchedRefresh;
    double refresh = 0;
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(state.display, &eventBase, &errorBase)) {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(state.display, state.root);
        int x = 0, y = 0;
        windowOnRoot(x, y);
        for (int i = 0; resources && i < resources->ncrtc; ++i) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(state.display, resources, resources->crtcs[i]);
            if (!crtc) continue;
            const bool holdsWindow = x >= crtc->x && y >= crtc->y &&
                                     x < crtc->x + static_cast<int>(crtc->width) &&
                                     y < crtc->y + static_cast<int>(crtc->height);
            for (int m = 0; crtc->mode != None && m < resources->nmode; ++m) {
                const XRRModeInfo& mode = resources->modes[m];
                if (mode.id != crtc->mode || mode.hTotal == 0 || mode.vTotal == 0) continue;
                double rate = mode.dotClock / (static_cast<double>(mode.hTotal) * mode.vTotal);
                if (mode.modeFlags & RR_DoubleScan) rate /= 2;
                if (mode.modeFlags & RR_Interlace) rate *= 2;
                if (rate > 0 && (holdsWindow || refresh == 0)) refresh = rate;
            }
            XRRFreeCrtcInfo(crtc);
        }
        if (resources) XRRFreeScreenResources(resources);
    }
    if (!(refresh > 0)) {
        ModeLines lines;
        if (lines.count > 0) refresh = refreshOf(*lines.modes[0]);
    }
    return refresh > 0 && std::isfinite(refresh) ? refresh : 60.0;
}

void restore() {
    std::lock_guard lock(stateMutex);
    restoreLocked();
}

bool remember(const char* displayName) {
    if (!open(displayName)) return false;
    ModeLines lines;
    if (lines.count <= 0) return false;
    // The watcher starts the intro: its connection must not leak into that process.
    fcntl(ConnectionNumber(state.display), F_SETFD, FD_CLOEXEC);
    std::lock_guard lock(stateMutex);
    state.savedMode = *lines.modes[0];
    XF86VidModeGetViewPort(state.display, state.screen, &state.savedViewportX,
                           &state.savedViewportY);
    state.remembered = true;
    return true;
}

void restoreRemembered() {
    std::lock_guard lock(stateMutex);
    if (!state.remembered) return;
    int dotClock = 0;
    XF86VidModeModeLine current{};
    XF86VidModeGetModeLine(state.display, state.screen, &dotClock, &current);
    if (current.privsize > 0 && current.c_private) XFree(current.c_private);
    int viewportX = 0, viewportY = 0;
    XF86VidModeGetViewPort(state.display, state.screen, &viewportX, &viewportY);
    const XF86VidModeModeInfo& saved = state.savedMode;
    // Switching to the mode already current may still make a real screen blank for a moment.
    const bool modeChanged = static_cast<unsigned>(dotClock) != saved.dotclock ||
                             current.hdisplay != saved.hdisplay ||
                             current.vdisplay != saved.vdisplay ||
                             current.htotal != saved.htotal || current.vtotal != saved.vtotal;
    if (modeChanged) XF86VidModeSwitchToMode(state.display, state.screen, &state.savedMode);
    if (modeChanged || viewportX != state.savedViewportX || viewportY != state.savedViewportY)
        XF86VidModeSetViewPort(state.display, state.screen, state.savedViewportX,
                               state.savedViewportY);
    XSync(state.display, False);
}

}  // namespace quarbtro::screen
