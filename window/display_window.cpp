#include "display_window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstring>
#include <string_view>

#include "screen_x11.h"
#include "window_geometry.h"

namespace quarbtro {

namespace {

// Whether a space-separated extension list names this extension (not merely one that starts
// with its name, as GLX_EXT_swap_control_tear does).
bool offers(const char* extensions, std::string_view wanted) {
    std::string_view list = extensions ? extensions : "";
    while (!list.empty()) {
        const std::size_t end = list.find(' ');
        if (list.substr(0, end) == wanted) return true;
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return false;
}

// A swap interval of 1 on the current GLUT window, by whichever of the three extensions the
// driver offers: each swap then waits for the display's next refresh. False where none is
// offered (Mesa's software renderer, for one) or the driver refuses.
bool setSwapIntervalOne() {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) return false;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    const auto function = [](const char* name) {
        return glXGetProcAddress(reinterpret_cast<const GLubyte*>(name));
    };
    if (offers(extensions, "GLX_EXT_swap_control")) {
        using SwapIntervalEXT = void (*)(Display*, GLXDrawable, int);
        if (auto set = reinterpret_cast<SwapIntervalEXT>(function("glXSwapIntervalEXT"))) {
            set(display, drawable, 1);
            return true;
        }
    }
    if (offers(extensions, "GLX_MESA_swap_control")) {
        using SwapIntervalMESA = int (*)(unsigned);
        if (auto set = reinterpret_cast<SwapIntervalMESA>(function("glXSwapIntervalMESA")))
            return set(1) == 0;
    }
    if (offers(extensions, "GLX_SGI_swap_control")) {
        using SwapIntervalSGI = int (*)(int);
        if (auto set = reinterpret_cast<SwapIntervalSGI>(function("glXSwapIntervalSGI")))
            return set(1) == 0;
    }
    return false;
}

void setViewport(const PixelRect& r) { glViewport(r.x, r.y, r.width, r.height); }

}  // namespace

Projection designProjection() {
    return {45.0, static_cast<double>(windowWidth) / windowHeight, static_cast<double>(0.1f),
            100.0};
}

DisplayWindow::DisplayWindow(Presentation presentation, const char* displayName)
    : window(0),
      height(windowHeight),
      width(windowWidth),
      layout(pictureLayout(windowWidth, windowHeight)),
      swapsPaced(false),
      refresh(60),
      connected(false) {
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(windowWidth, windowHeight);
    window = glutCreateWindow("Quarbtro by Tessk");
    glutSetCursor(GLUT_CURSOR_NONE);
    swapsPaced = setSwapIntervalOne();
    connected = screen::connect(displayName, glXGetCurrentDrawable());
    if (connected && screen::awaitShown()) {
        if (presentation == Presentation::fullScreen && !screen::showPictureInVideoMode())
            screen::makeFullscreen();
        screen::takeFocus();
        refresh = screen::refreshRate();
    }
}

DisplayWindow::~DisplayWindow() {
    if (window) glutDestroyWindow(window);
    restoreVideoMode();
}

void DisplayWindow::restoreVideoMode() { screen::restore(); }

bool DisplayWindow::rememberVideoMode(const char* displayName) {
    return screen::remember(displayName);
}

void DisplayWindow::restoreRememberedVideoMode() { screen::restoreRemembered(); }

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
    width = w > 0 ? w : 1;
    height = h > 0 ? h : 1;
    layout = pictureLayout(width, height);
    const Projection projection = designProjection();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(projection.fieldOfView, projection.aspect, projection.nearPlane,
                   projection.farPlane);
}

void DisplayWindow::clear(const float color[4]) {
    glDisable(GL_SCISSOR_TEST);
    if (layout.scaled) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(layout.picture.x, layout.picture.y, layout.picture.width,
                  layout.picture.height);
    }
    glClearColor(color[0], color[1], color[2], color[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void DisplayWindow::usePictureViewport() {
    setViewport(layout.map({0, 0, windowWidth, shownHeight}));
    if (!layout.scaled) return;
    glEnable(GL_SCISSOR_TEST);
    glScissor(layout.picture.x, layout.picture.y, layout.picture.width, layout.picture.height);
}

void DisplayWindow::swap() {
    glutSwapBuffers();
    if (connected) screen::followWindow();
}

}  // namespace quarbtro
