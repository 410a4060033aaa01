// Looks at an X server from outside, for the end-to-end tests:
//   x11-probe mode           current video mode, "WxH"
//   x11-probe viewport       viewport origin, "X,Y"
//   x11-probe pointer        pointer position on the root window, "X,Y"
//   x11-probe modes          the server's mode list, one "WxH" per line, current first
//   x11-probe close TITLE    asks the window titled TITLE to close, as a window manager does
// Exit status 1 when the display cannot be opened or the request fails.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

Window findWindow(Display* display, Window parent, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, parent, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return parent;
    }
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findWindow(display, children[i], title);
    if (children) XFree(children);
    return found;
}

int closeWindow(Display* display, const char* title) {
    const Window window = findWindow(display, DefaultRootWindow(display), title);
    if (!window) {
        std::fprintf(stderr, "x11-probe: no window titled \"%s\"\n", title);
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11-probe mode|viewport|pointer|modes|close TITLE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11-probe: cannot open the display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const std::string command = argv[1];
    if (command == "mode") {
        int dotclock = 0;
        XF86VidModeModeLine line{};
        if (!XF86VidModeGetModeLine(display, screen, &dotclock, &line)) return 1;
        std::printf("%dx%d\n", line.hdisplay, line.vdisplay);
    } else if (command == "viewport") {
        int x = 0, y = 0;
        if (!XF86VidModeGetViewPort(display, screen, &x, &y)) return 1;
        std::printf("%d,%d\n", x, y);
    } else if (command == "pointer") {
        Window root, child;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display, RootWindow(display, screen), &root, &child, &rootX, &rootY, &winX,
                      &winY, &mask);
        std::printf("%d,%d\n", rootX, rootY);
    } else if (command == "modes") {
        int count = 0;
        XF86VidModeModeInfo** modes = nullptr;
        if (!XF86VidModeGetAllModeLines(display, screen, &count, &modes)) return 1;
        for (int i = 0; i < count; ++i) std::printf("%dx%d\n", modes[i]->hdisplay, modes[i]->vdisplay);
        XFree(modes);
    } else if (command == "close" && argc == 3) {
        return closeWindow(display, argv[2]);
    } else {
        std::fprintf(stderr, "x11-probe: unknown request %s\n", argv[1]);
        return 2;
    }
    return 0;
}
