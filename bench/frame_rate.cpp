// Frames per second of the intro's frame function with the clock held in each scene: the
// intro's own start-up (its visuals, no player) and GLUT main loop, with a clock source that
// holds each scene's clock for a while and counts the frames drawn meanwhile.
//   frame-rate [SECONDS_PER_SCENE [SCENE...]]
// SECONDS_PER_SCENE defaults to 2; the SCENEs named (black, scroller, cylinder, ball, sheet,
// tunnel, credits, blue) are measured, by default all of them, always in time-line order (for
// a profiler, say). GLUT's options (-display, for one) work too. Prints the GL renderer and
// version on a line "renderer RENDERER | VERSION", then one line per scene, "NAME CLOCK FPS",
// and ends through the intro's own quit path at 4,250 centiseconds.

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "intro/shell.h"
#include "scenes/time_line.h"

namespace {

struct HeldScene {
    const char* name;
    int clock;  // centiseconds: a moment of the scene, in time-line order
};

// The scenes in the order of the time line, so every enter() fires as in the intro.
constexpr HeldScene heldScenes[] = {
    {"black", 100},  {"scroller", 500}, {"cylinder", 970}, {"ball", 1120},
    {"sheet", 1370}, {"tunnel", 2600},  {"credits", 3750}, {"blue", 4120},
};
constexpr int sceneCount = sizeof heldScenes / sizeof heldScenes[0];
constexpr int warmUpFrames = 20;  // the first frames of a scene fire its enter() and compile

using Clock = std::chrono::steady_clock;
double secondsPerScene = 2.0;
bool wanted[sceneCount];
int current = 0;
int framesInScene = 0;
Clock::time_point measuredFrom;

// The next wanted scene from `current` on; sceneCount when none is left.
int nextWanted(int from) {
    while (from < sceneCount && !wanted[from]) ++from;
    return from;
}

// Called once at the start of every frame: frame n starts where frame n - 1 ended.
int heldClock() {
    if (current == sceneCount) return quarbtro::showEnd();
    const Clock::time_point now = Clock::now();
    if (framesInScene == warmUpFrames) measuredFrom = now;
    if (framesInScene > warmUpFrames) {
        const double elapsed = std::chrono::duration<double>(now - measuredFrom).count();
        if (elapsed >= secondsPerScene) {
            const int frames = framesInScene - warmUpFrames;
            std::printf("%s %d %.1f\n", heldScenes[current].name, heldScenes[current].clock,
                        frames / elapsed);
            std::fflush(stdout);
            framesInScene = 0;
            current = nextWanted(current + 1);
            if (current == sceneCount) return quarbtro::showEnd();
        }
    }
    ++framesInScene;
    return heldScenes[current].clock;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quarbtro;
    init(&argc, argv);
    limitFrameRate(false);  // the raw speed, not the display's refresh
    buildVisuals();
    if (argc > 1) secondsPerScene = std::atof(argv[1]);
    for (int i = 0; i < sceneCount; ++i) wanted[i] = argc <= 2;
    for (int a = 2; a < argc; ++a) {
        int i = 0;
        while (i < sceneCount && std::strcmp(argv[a], heldScenes[i].name) != 0) ++i;
        if (i == sceneCount) secondsPerScene = 0;  // unknown: the usage below
        else wanted[i] = true;
    }
    if (!(secondsPerScene > 0)) {
        std::fprintf(stderr, "usage: %s [SECONDS_PER_SCENE [SCENE...]]\n", argv[0]);
        return 2;
    }
    current = nextWanted(0);
    std::printf("renderer %s | %s\n", glGetString(GL_RENDERER), glGetString(GL_VERSION));
    show.clockSource = heldClock;
    glutMainLoop();
}
