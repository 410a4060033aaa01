// Quarbtro: the intro. Of its own it answers --help and --version, before GLUT is started (so
// without a display); GLUT takes its standard options; anything else is refused with status 2.

#include <GL/glut.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "intro/shell.h"
#include "window/display_window.h"

namespace {

bool inWindow = false;

const quarbtro::cli::Program program{
    "quarbtro",
    "[OPTION]...",
    "Shows the Quarbtro intro: 42.5 seconds of pictures and music over the whole screen, timed\n"
    "by the sound heard: in a 640 x 480 video mode where the X server really has one, otherwise\n"
    "fullscreen with the picture scaled to the screen's height.",
    {{"window", 0, nullptr, "a window that can be moved and resized, no mode change",
      quarbtro::cli::flag(inWindow)}},
    "Keys: Escape quits; t prints the time (centiseconds of sound heard).\n"
    "\n"
    "GLUT's own options are taken as well: -display DISPLAY, -geometry WxH+X+Y, -iconic, -direct,\n"
    "-indirect, -sync, -gldebug.\n"
    "\n"
    "Exit status: 0 at the intro's end or on Escape; 1 without an X display or a sound device;\n"
    "2 for wrong arguments.\n",
    {{"-display", true}, {"-geometry", true}, {"-iconic", false}, {"-direct", false},
     {"-indirect", false}, {"-sync", false}, {"-gldebug", false}},
};

}  // namespace

int main(int argc, char** argv) {
    using namespace quarbtro;
    const std::vector<std::string> operands = cli::parseOrExit(program, argc, argv);
    if (!operands.empty()) cli::usageError(program, "unexpected argument " + operands.front());
    const auto presentation =
        inWindow ? DisplayWindow::Presentation::window : DisplayWindow::Presentation::fullScreen;
    for (const StartupStep& step : startupSteps(&argc, argv, presentation)) step.run();
    glutMainLoop();
    // The main loop returns only when the window manager has closed (and GLUT destroyed) the
    // window; the quit path still has to put the video mode back.
    show.window->forgetClosedWindow();
    quit();
}
