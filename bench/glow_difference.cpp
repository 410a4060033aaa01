// How far the intro's glow (the copies added up once at a quarter of the area, the sum laid
// over the frame) is from the glow drawn as five full-frame copies of the small image, each
// blended onto the frame in turn. Draws every frame of a 60 fps run of the intro, up to the
// end scene, on a private headless X server, through the intro's own start-up and frame
// function. For each frame that runs the blur pass and whose glow shows something (a glow
// frame) it reads the frame back, draws its main pass once more with the full-frame copies
// over it, and compares the two pixel by pixel: a pixel's difference is the largest of its
// three channels', in levels of 255.
//   glow-difference
// Prints one figure a line, "NAME VALUE...": the GL renderer and version ("renderer RENDERER |
// VERSION": the figures hold for that renderer), the frames of the run and the glow frames
// among them, the pixels of a frame, the largest difference with the clock and the pixel (x, y
// from the top left) where it first occurs, and the frames and pixels more than 1 and 2 levels
// off. It checks its own reading too: the main pass drawn again with the intro's glow over it
// must give the frame exactly. Exit status 1 when anything fails.

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "intro/shell.h"
#include "scenes/radial_blur.h"
#include "scenes/time_line.h"
#include "tools/capture/capture_timing.h"
#include "tools/capture/frame_reader.h"
#include "tools/capture/private_x_server.h"
#include "window/display_window.h"

namespace {

using namespace quarbtro;

constexpr capture::FrameRate rate{60, 1};
constexpr int width = 660, height = 500;
constexpr int smallSide = 64;  // the blur pass's image

capture::PrivateXServer server;
bool glutOpen = false;

[[noreturn]] void fail(const std::string& reason) {
    std::fprintf(stderr, "glow-difference: %s\n", reason.c_str());
    // GLUT's connection goes first: closed at exit, it would find the server gone and Xlib
    // would add a fatal I/O error of its own to the message above.
    if (glutOpen) glutExit();
    server.stop();
    std::exit(1);
}

void endSceneFired() {
    fail("the end scene fired at clock " + std::to_string(show.stage.clock));
}

// The back buffer, bottom row first, 3 bytes a pixel.
std::vector<unsigned char> readBackBuffer() {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Whether the small image captured by this frame's blur pass holds anything but black.
bool glowShowsSomething() {
    std::vector<unsigned char> rgb(smallSide * smallSide * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, show.blur->name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return std::any_of(rgb.begin(), rgb.end(), [](unsigned char c) { return c != 0; });
}

// The frame's main pass alone, at the clock of the frame just drawn: the scenes have fired
// their events already and draw the same again; the viewport is the one the blur pass set.
void drawMainPassAgain() {
    show.stage.blurEnabled = false;
    drawFrame();
    show.stage.blurEnabled = true;
}

// The glow as five full-frame copies of the small image, each blended onto the frame in turn:
// additive, the first whole at alpha 0.2, each next one inset by the blur's step and
// 0.2 / passes fainter, over the 640 x 480 overlay coordinates (y downwards). Leaves the GL
// state as the intro's overlay does.
void drawFullFrameCopies() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    float inset = 0, alpha = 0.2f;
    const float fade = 0.2f / show.stage.blur.passes;
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, show.blur->name);
    glBegin(GL_QUADS);
    for (int copy = 0; copy < show.stage.blur.passes; ++copy) {
        glColor4f(1, 1, 1, alpha);
        glTexCoord2f(inset, 1 - inset);
        glVertex2f(0, 0);
        glTexCoord2f(inset, inset);
        glVertex2f(0, 480);
        glTexCoord2f(1 - inset, inset);
        glVertex2f(640, 480);
        glTexCoord2f(1 - inset, 1 - inset);
        glVertex2f(640, 0);
        inset += show.stage.blur.step;
        alpha -= fade;
    }
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}

struct Largest {
    int levels = 0;
    int clock = 0, x = 0, y = 0;  // where it first occurs, y from the top
};

struct Figures {
    long frames = 0, glowFrames = 0;
    Largest largest;
    long framesBeyond1 = 0, framesBeyond2 = 0;
    long pixelsBeyond1 = 0, pixelsBeyond2 = 0;
    long framesOverThreeThousandthsBeyond2 = 0;  // more than 0.3 % of their pixels
    long mostBeyond2InAFrame = 0;
    int clockOfMostBeyond2 = 0;
};

void compare(const std::vector<unsigned char>& summed, const std::vector<unsigned char>& copies,
             int clock, Figures& figures) {
    long beyond1 = 0, beyond2 = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = (static_cast<size_t>(y) * width + x) * 3;
            int levels = 0;
            for (int channel = 0; channel < 3; ++channel)
                levels = std::max(levels, std::abs(summed[at + channel] - copies[at + channel]));
            beyond1 += levels > 1;
            beyond2 += levels > 2;
            if (levels > figures.largest.levels)
                figures.largest = {levels, clock, x, height - 1 - y};
        }
    figures.framesBeyond1 += beyond1 > 0;
    figures.framesBeyond2 += beyond2 > 0;
    figures.pixelsBeyond1 += beyond1;
    figures.pixelsBeyond2 += beyond2;
    figures.framesOverThreeThousandthsBeyond2 += beyond2 * 1000 > 3L * width * height;
    if (beyond2 > figures.mostBeyond2InAFrame) {
        figures.mostBeyond2InAFrame = beyond2;
        figures.clockOfMostBeyond2 = clock;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: glow-difference\n");
        return 2;
    }
    if (!server.start()) fail(server.error());
    setenv("DISPLAY", server.displayName().c_str(), 1);
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    frames::openIntro(&glutArgc, glutArgv);
    glutOpen = true;
    show.stage.quit = endSceneFired;
    if (show.window->width != width || show.window->height != height)
        fail("the window is " + std::to_string(show.window->width) + " x " +
             std::to_string(show.window->height) + " rather than 660 x 500");

    Figures figures;
    for (std::int64_t frame = 0; capture::clockOfFrame(frame, rate) < showEnd(); ++frame) {
        const int frameClock = capture::clockOfFrame(frame, rate);
        ++figures.frames;
        const bool blurPassDrawn = show.stage.blurEnabled;
        const frames::Picture picture = frames::drawAt(frameClock);
        // Read again: a scene's enter in this frame may have switched the glow. A frame that
        // only lays it over (the credits' first, which finds the glow off when it starts) shows
        // an older small image over a main pass that cannot be drawn again: its enter changed
        // the clear colour after the clear.
        if (!blurPassDrawn || !show.stage.blurEnabled || !glowShowsSomething()) continue;
        ++figures.glowFrames;

        drawMainPassAgain();
        drawFullFrameCopies();
        const std::vector<unsigned char> copies = readBackBuffer();

        drawMainPassAgain();
        show.blur->overlay(show.stage.blur);
        const std::vector<unsigned char> summed = readBackBuffer();
        for (int y = 0; y < height; ++y)
            if (!std::equal(&summed[static_cast<size_t>(y) * width * 3],
                            &summed[static_cast<size_t>(y + 1) * width * 3],
                            &picture.rgb[static_cast<size_t>(height - 1 - y) * width * 3]))
                fail("at clock " + std::to_string(frameClock) +
                     " the main pass drawn again with the glow differs from the frame");
        compare(summed, copies, frameClock, figures);
    }

    std::printf("renderer %s | %s\n", glGetString(GL_RENDERER), glGetString(GL_VERSION));
    std::printf("frames %ld\n", figures.frames);
    std::printf("glow-frames %ld\n", figures.glowFrames);
    std::printf("pixels-per-frame %d\n", width * height);
    std::printf("largest %d %d %d %d\n", figures.largest.levels, figures.largest.clock,
                figures.largest.x, figures.largest.y);
    std::printf("frames-beyond-1 %ld\n", figures.framesBeyond1);
    std::printf("frames-beyond-2 %ld\n", figures.framesBeyond2);
    std::printf("pixels-beyond-1 %ld\n", figures.pixelsBeyond1);
    std::printf("pixels-beyond-2 %ld\n", figures.pixelsBeyond2);
    std::printf("frames-over-0.3%%-beyond-2 %ld\n", figures.framesOverThreeThousandthsBeyond2);
    std::printf("most-beyond-2-in-a-frame %ld %d\n", figures.mostBeyond2InAFrame,
                figures.clockOfMostBeyond2);

    tearDown();
    glutExit();  // GLUT closes its connection now rather than at exit, with the server gone
    server.stop();
    return 0;
}
