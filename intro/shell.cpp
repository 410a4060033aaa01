#include "intro/shell.h"

#include <GL/freeglut.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "intro/audio_clock.h"
#include "window/display_window.h"
#include "intro/frame_pacer.h"
#include "intro/light.h"
#include "window/window_geometry.h"
#include "assets/font_bitmap.h"
#include "assets/image2Jpeg.h"
#include "scenes/credits.h"
#include "scenes/farewell.h"
#include "scenes/font.h"
#include "scenes/scroller.h"
#include "scenes/radial_blur.h"
#include "scenes/tunnel.h"
#include "scenes/stage.h"
#include "scenes/texture.h"
#include "intro/create_player.h"

namespace quarbtro {

Light* light = nullptr;

// The audio heard: the scenes follow the sound, not the wall clock.
int (*clockSource)() = audioClock;

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
    quitHandler = quit;
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

void buildVisuals() {
    blurEnabled = true;
    font = new Font(fontBitmap, 8, 8);
    sphereMapTexture = new Texture(image2Jpeg, image2JpegSize, true);
    scenes[0] = new ruzidovavire;
    scenes[1] = new quarbintro;
    scenes[2] = new endscene;
    scenes[3] = new credits;
    blur = new RadialBlur;
    light = new Light(0, 0, 2.0f);
}

void buildScenes() {
    buildVisuals();
    usleep(1000);
    clock = 0;
    // Last, so the music starts once everything it accompanies is ready. On any failure (no
    // sound device: one line says so; a song that does not load) the process ends here with
    // status 1.
    createPlayer();
}

namespace {

// One pass over the scene table; each scene decides from the clock whether it draws.
void drawScenes() {
    for (scene* s : scenes) {
        glPushMatrix();
        s->draw();
        glPopMatrix();
    }
}

}  // namespace

void drawFrame() {
    clock = clockSource();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    window->clear();
    light->apply();
    if (blurEnabled) {
        blurPass = true;
        blur->begin();
        drawScenes();
        blur->capture();
    }
    blurPass = false;
    window->usePictureViewport();
    drawScenes();
    // Read again: an enter() during this frame may have switched the blur.
    if (blurEnabled) blur->overlay();
}

void frame() {
    sleepUntil(pacer.startOf(monotonicNanoseconds()));
    drawFrame();
    window->swap();
}

void reshapeCallback(int w, int h) { window->reshape(w, h); }

void keyboard(unsigned char key, int, int) {
    usleep(100);
    if (key == 27) quit();
    // Through the buffered stream, unflushed: on a terminal each line shows at once; redirected,
    // the lines follow the farewell when exit() flushes the stream.
    if (key == 'T' || key == 't') std::cout << "tid: " << clock << '\n';
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
    for (scene*& s : scenes) {
        delete s;
        s = nullptr;
    }
}

}  // namespace quarbtro
