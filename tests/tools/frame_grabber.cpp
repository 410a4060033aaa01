// Draws frames of the intro at chosen clocks, through the intro's own frame function, and
// writes each picture as a binary PPM file:
//   frame-grabber DIRECTORY CLOCK...     writes DIRECTORY/frame-CLOCK.ppm for each clock
// The clocks must not go backwards (scenes fire their events once). The real quit path stays
// installed: a clock of 4250 or later prints the farewell line and ends the process with
// status 0 before that frame is written. Needs an X display (GLUT's -display works too).

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/display_window.h"
#include "app/shell.h"
#include "scenes/stage.h"

namespace {

int chosenClock = 0;
int chosenClockSource() { return chosenClock; }

bool reshaped = false;
void noteReshape(int w, int h) {
    quarbtro::reshapeCallback(w, h);
    reshaped = true;
}

bool writePpm(const std::string& path, int width, int height,
              const std::vector<unsigned char>& bottomUp) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        std::fwrite(&bottomUp[static_cast<size_t>(y) * width * 3], 1, width * 3, file);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quarbtro;
    init(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIRECTORY CLOCK...\n", argv[0]);
        return 2;
    }
    glutReshapeFunc(noteReshape);
    buildVisuals();
    clockSource = chosenClockSource;
    // Let the window appear and take its real size before the first frame.
    for (int i = 0; i < 200 && !reshaped; ++i) glutMainLoopEvent();

    const int width = window->width, height = window->height;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int i = 2; i < argc; ++i) {
        chosenClock = std::atoi(argv[i]);
        drawFrame();
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        window->swap();
        const std::string path = std::string(argv[1]) + "/frame-" + argv[i] + ".ppm";
        if (!writePpm(path, width, height, pixels)) {
            std::perror(path.c_str());
            return 1;
        }
    }
    quit();
}
