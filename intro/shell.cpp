#include "intro/shell.h"

#include <GL/freeglut.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "assets/font_bitmap.h"
#include "assets/image2Jpeg.h"
#include "intro/create_player.h"
#include "intro/frame_pacer.h"
#include "intro/light.h"
#include "intro/playback_clock.h"
#include "scenes/font.h"
#include "scenes/radial_blur.h"
#include "scenes/texture.h"
#include "scenes/time_line.h"
#include "window/exit_signals.h"
#include "window/window_geometry.h"

namespace quarbtro {

Show show;

const char* displayNameFromArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0) return argv[i + 1];
    return nullptr;
}

namespace {

std::int64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * std::int64_t{1000000000} + now.tv_nsec;
}

void sleepUntil(std::int64_t monotonic) {
    const timespec at{static_cast<time_t>(monotonic / 1000000000),
                      static_cast<long>(monotonic % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

}  // namespace

void limitFrameRate(bool limit) { show.pacer = FramePacer(limit ? show.window->framePacingRate() : 0); }

void init(int* argc, char** argv, DisplayWindow::Presentation presentation) {
    const char* displayName = displayNameFromArguments(*argc, argv);
    glutInit(argc, argv);
    // Closing the window from the window manager must come back here rather than end the
    // process behind quit()'s back: the video mode has to be restored first.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    show.stage.quit = quit;
    show.window = new DisplayWindow(presentation, displayName);
    glutReshapeFunc(reshapeCallback);
    glutDisplayFunc(frame);
    glutIdleFunc(frame);
    glutKeyboardFunc(keyboard);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    // The size the window was made at, until GLUT reports the size it really has.
    show.window->reshape(windowWidth, windowHeight);
    limitFrameRate(true);
}

namespace {

// Without a display the intro can do nothing: one line says why.
void checkDisplay(int argc, char** argv) {
    const char* displayName = displayNameFromArguments(argc, argv);
    if (DisplayWindow::canConnect(displayName)) return;
    const char* shown = displayName ? displayName : std::getenv("DISPLAY");
    if (shown && *shown)
        std::fprintf(stderr, "quarbtro: cannot open the X display \"%s\"\n", shown);
    else
        std::fprintf(stderr, "quarbtro: no X display to open: DISPLAY is not set\n");
    std::exit(1);
}

}  // namespace

std::vector<StartupStep> visualSteps() {
    std::vector<StartupStep> steps{
        {"font", [] { show.font = new Font(fontBitmap, 8, 8); }},
        {"sphere-map-texture",
         [] { show.sphereMapTexture = new Texture(image2Jpeg, image2JpegSize, true); }},
    };
    for (const TimeLineRow& row : timeLineRows())
        steps.push_back({std::string("scene-") + row.name, [] {
                             if (!show.timeLine) show.timeLine = new TimeLine;
                             show.timeLine->buildNext({*show.font, *show.sphereMapTexture});
                         }});
    steps.push_back({"blur-and-light", [] {
                         show.blur = new RadialBlur;
                         show.light = new Light(0, 0, 2.0f);
                     }});
    return steps;
}

std::vector<StartupStep> startupSteps(int* argc, char** argv,
                                      DisplayWindow::Presentation presentation) {
    std::vector<StartupStep> steps{
        {"signals-and-display-check",
         [=] {
             restoreVideoModeOnTerminatingSignals();
             checkDisplay(*argc, argv);
         }},
        {"window", [=] { init(argc, argv, presentation); }},
    };
    for (StartupStep& step : visualSteps()) steps.push_back(std::move(step));
    // Last, so the music starts once everything it accompanies is ready. On a failure (no
    // sound device, a song that does not load) one line says what, and the process ends with
    // status 1, the video mode put back first.
    steps.push_back({"music", [] {
                         std::string problem;
                         if (createPlayer(problem) != nullptr) return;
                         std::fprintf(stderr, "quarbtro: %s\n", problem.c_str());
                         tearDown();
                         std::exit(1);
                     }});
    return steps;
}

void buildVisuals() {
    for (const StartupStep& step : visualSteps()) step.run();
}

void drawFrame() {
    show.stage.clock = show.clockSource();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    show.window->clear(show.stage.clearColor);
    show.light->apply();
    if (show.stage.blurEnabled) {
        show.stage.blurPass = true;
        show.blur->begin(show.window->width, show.window->height);
        show.timeLine->draw(show.stage);
        show.blur->capture(show.stage.blur);
        // In this frame's colour, which an enter in the blur pass may have changed.
        show.window->clear(show.stage.clearColor);
    }
    show.stage.blurPass = false;
    show.window->usePictureViewport();
    show.timeLine->draw(show.stage);
    // Read again: an enter() during this frame may have switched the blur.
    if (show.stage.blurEnabled) show.blur->overlay(show.stage.blur);
}

void frame() {
    sleepUntil(show.pacer.startOf(monotonicNanoseconds()));
    drawFrame();
    show.window->swap();
}

void reshapeCallback(int w, int h) { show.window->reshape(w, h); }

void keyboard(unsigned char key, int, int) {
    if (key == 27) quit();
    // Through the buffered stream, unflushed: on a terminal each line shows at once; redirected,
    // the lines follow the farewell when exit() flushes the stream.
    if (key == 'T' || key == 't') std::cout << "tid: " << show.stage.clock << '\n';
}

void quit() {
    tearDown();
    std::exit(0);
}

void tearDown() {
    if (show.window) {
        delete show.window;
        show.window = nullptr;
    }
    delete show.timeLine;
    show.timeLine = nullptr;
}

}  // namespace quarbtro
