// Quarbtro: the intro. No options of its own; GLUT takes its standard ones.

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/display_window.h"
#include "app/exit_signals.h"
#include "app/shell.h"
#include "scenes/stage.h"

int main(int argc, char** argv) {
    using namespace quarbtro;
    restoreVideoModeOnTerminatingSignals();
    const char* displayName = displayNameFromArguments(argc, argv);
    if (!DisplayWindow::canConnect(displayName)) {
        const char* shown = displayName ? displayName : std::getenv("DISPLAY");
        if (shown && *shown)
            std::fprintf(stderr, "quarbtro: cannot open the X display \"%s\"\n", shown);
        else
            std::fprintf(stderr, "quarbtro: no X display to open: DISPLAY is not set\n");
        return 1;
    }
    init(&argc, argv);
    buildScenes();
    glutMainLoop();
    // The main loop returns only when the window manager has closed (and GLUT destroyed) the
    // window; the quit path still has to put the video mode back.
    window->forgetClosedWindow();
    quit();
}
