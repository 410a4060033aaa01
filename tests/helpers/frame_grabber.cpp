// Draws frames of the intro at chosen clocks, through the intro's own frame function, and
// writes each picture as a binary PPM file:
//   frame-grabber DIRECTORY CLOCK...     writes DIRECTORY/frame-CLOCK.ppm for each clock
// The clocks must not go backwards (scenes fire their events once). The real quit path stays
// installed: a clock of 4250 or later prints the farewell line and ends the process with
// status 0 before that frame is written. Needs an X display (GLUT's -display works too).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "intro/shell.h"
#include "tools/capture/frame_reader.h"

namespace {

bool writePpm(const std::string& path, const quarbtro::frames::Picture& picture) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    std::fwrite(picture.rgb.data(), 1, picture.rgb.size(), file);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quarbtro;
    frames::openIntro(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIRECTORY CLOCK...\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const frames::Picture picture = frames::drawAt(std::atoi(argv[i]));
        const std::string path = std::string(argv[1]) + "/frame-" + argv[i] + ".ppm";
        if (!writePpm(path, picture)) {
            std::perror(path.c_str());
            return 1;
        }
    }
    quit();
}
