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

DisplayWindow* window = nullptr;
TimeLine* timeLine = nullptr;
RadialBlur* blur = nullptr;
Light* light = nullptr;
Stage stage;

namespace {

// What the scenes are built from; they live for the whole run.
Font* font = nullptr;
Texture* sphereMapTexture = nullptr;

}  // namespace

// The audio heard: the scenes follow the sound, not the wall clock.
int (*clockSource)() = PlaybackClock;

const char* displayNameFromArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0) return argv[i + 1];
    return nullptr;
}

namespace {

// Frames at the display's refresh where the driver does not pace the swaps.
FramePacer pacer(0);

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

void limitFrameRate(bool limit) { pacer = FramePacer(limit ? window->framePacingRate() : 0); }

void init(int* argc, char** argv, DisplayWindow::Presentation presentation) {
    const char* displayName = displayNameFromArguments(*argc, argv);
    glutInit(argc, argv);
    // Closing the window from the window manager must come back here rather than end the
    // process behind quit()'s back: the video mode has to be restored first.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    stage.quit = quit;
    window = new DisplayWindow(presentation, displayName);
    glutReshapeFunc(reshapeCallback);
    glutDisplayFunc(frame);
    glutIdleFunc(frame);
    glutKeyboardFunc(keyboard);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    // The size the window was made at, until GLUT reports the size it really has.
    window->reshape(windowWidth, windowHeight);
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
        {"font", [] { font = new Font(fontBitmap, 8, 8); }},
        {"sphere-map-texture",
         [] { sphereMapTexture = new Texture(image2Jpeg, image2JpegSize, true); }},
    };
    for (const TimeLineRow& row : timeLineRows())
        steps.push_back({std::string("scene-") + row.name, [] {
                             if (!timeLine) timeLine = new TimeLine;
                             timeLine->buildNext({*font, *sphereMapTexture});
                         }});
    steps.push_back({"blur-and-light", [] {
                         blur = new RadialBlur;
                         light = new Light(0, 0, 2.0f);
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
    stage.clock = clockSource();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    window->clear(stage.clearColor);
    light->apply();
    if (stage.blurEnabled) {
        stage.blurPass = true;
        blur->begin();
        timeLine->draw(stage);
        blur->capture(stage.blur);
        // In this frame's colour, which an enter in the blur pass may have changed.
        window->clear(stage.clearColor);
    }
    stage.blurPass = false;
    window->usePictureViewport();
    timeLine->draw(stage);
    // Read again: an enter() during this frame may have switched the blur.
    if (stage.blurEnabled) blur->overlay(stage.blur);
}

void frame() {
    sleepUntil(pacer.startOf(monotonicNanoseconds()));
    drawFrame();
    window->swap();
}

void reshapeCallback(int w, int h) { window->reshape(w, h); }

void keyboard(unsigned char key, int, int) {
    if (key == 27) quit();
    // Through the buffered stream, unflushed: on a terminal each line shows at once; redirected,
    // the lines follow the farewell when exit() flushes the stream.
    if (key == 'T' || key == 't') std::cout << "tid: " << stage.clock << '\n';
}

void quit() {
    tearDown();
    std::exit(0);
}

void tearDown() {
    if (window) {
        delete window;
        window = nullptr;
    }
    delete timeLine;
    timeLine = nullptr;
}

}  // namespace quarbtro
