// Looks at an X server from outside, for the end-to-end tests:
//   x11-probe mode           current video mode, "WxH"
//   x11-probe viewport       viewport origin, "X,Y"
//   x11-probe pointer        pointer position on the root window, "X,Y"
//   x11-probe modes          the server's mode list, one "WxH REFRESH" per line (Hz, two
//                            decimals), current first
//   x11-probe cursor         "hidden" when the cursor shown now has no visible pixel, else "shown"
//   x11-probe focus          the title of the window that has the input focus, or "none"
//   x11-probe geometry TITLE the window titled TITLE on the root window, "WxH+X+Y"
//   x11-probe close TITLE    asks the window titled TITLE to close, as a window manager does
//   x11-probe maximize TITLE asks the window manager to maximise the window titled TITLE
// Exit status 1 when the display cannot be opened or the request fails.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
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

Window windowTitled(Display* display, const char* title) {
    const Window window = findWindow(display, DefaultRootWindow(display), title);
    if (!window) std::fprintf(stderr, "x11-probe: no window titled \"%s\"\n", title);
    return window;
}

// A client message about the window titled `title`, sent to the window itself or (toRoot) to
// the window manager through the root window; data: up to four longs.
int sendAbout(Display* display, const char* title, const char* type, bool toRoot,
              std::initializer_list<long> data) {
    const Window window = windowTitled(display, title);
    if (!window) return 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) event.xclient.data.l[i++] = value;
    if (toRoot)
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    else
        XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

long atom(Display* display, const char* name) {
    return static_cast<long>(XInternAtom(display, name, False));
}

int closeWindow(Display* display, const char* title) {
    return sendAbout(display, title, "WM_PROTOCOLS", false,
                     {atom(display, "WM_DELETE_WINDOW"), CurrentTime});
}

// The EWMH request a pager sends: add (1) both maximised states, as a user's request (2).
int maximizeWindow(Display* display, const char* title) {
    return sendAbout(display, title, "_NET_WM_STATE", true,
                     {1, atom(display, "_NET_WM_STATE_MAXIMIZED_VERT"),
                      atom(display, "_NET_WM_STATE_MAXIMIZED_HORZ"), 2});
}

int printGeometry(Display* display, const char* title) {
    const Window window = windowTitled(display, title);
    if (!window) return 1;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 1;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    std::printf("%dx%d+%d+%d\n", attributes.width, attributes.height, x, y);
    return 0;
}

// The focus may sit on a window the manager made around the titled one, or inside it.
int printFocus(Display* display) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) {
        std::printf("none\n");
        return 0;
    }
    char* name = nullptr;
    if (XFetchName(display, focus, &name) && name) {
        std::printf("%s\n", name);
        XFree(name);
        return 0;
    }
    std::printf("untitled\n");
    return 0;
}

int printCursor(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XFixesQueryExtension(display, &eventBase, &errorBase)) return 1;
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) return 1;
    bool visible = false;
    for (int i = 0; i < image->width * image->height && !visible; ++i)
        visible = (image->pixels[i] >> 24) != 0;  // ARGB, one per unsigned long
    XFree(image);
    std::printf(visible ? "shown\n" : "hidden\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11-probe mode|viewport|pointer|modes|cursor|focus|"
                             "geometry TITLE|close TITLE|maximize TITLE\n");
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
        for (int i = 0; i < count; ++i) {
            const XF86VidModeModeInfo& m = *modes[i];
            std::printf("%dx%d %.2f\n", m.hdisplay, m.vdisplay,
                        m.dotclock * 1000.0 / (static_cast<double>(m.htotal) * m.vtotal));
        }
        XFree(modes);
    } else if (command == "cursor") {
        return printCursor(display);
    } else if (command == "focus") {
        return printFocus(display);
    } else if (command == "geometry" && argc == 3) {
        return printGeometry(display, argv[2]);
    } else if (command == "close" && argc == 3) {
        return closeWindow(display, argv[2]);
    } else if (command == "maximize" && argc == 3) {
        return maximizeWindow(display, argv[2]);
    } else {
        std::fprintf(stderr, "x11-probe: unknown request %s\n", argv[1]);
        return 2;
    }
    return 0;
}
