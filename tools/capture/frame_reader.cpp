#include "tools/capture/frame_reader.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "intro/shell.h"
#include "window/display_window.h"

namespace quarbtro::frames {

namespace {

int chosenClock = 0;
int chosenClockSource() { return chosenClock; }

bool reshaped = false;
void noteReshape(int w, int h) {
    reshapeCallback(w, h);
    reshaped = true;
}

}  // namespace

void openIntro(int* argc, char** argv) {
    init(argc, argv, DisplayWindow::Presentation::window);
    glutReshapeFunc(noteReshape);
    buildVisuals();
    show.clockSource = chosenClockSource;
    // The window's real size arrives with its first configure event; on a busy machine that
    // can take a while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!reshaped && std::chrono::steady_clock::now() < deadline) {
        glutMainLoopEvent();
        if (!reshaped) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

Picture drawAt(int clock) {
    chosenClock = clock;
    drawFrame();
    Picture picture;
    picture.width = show.window->width;
    picture.height = show.window->height;
    std::vector<unsigned char> bottomUp(static_cast<size_t>(picture.width) * picture.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, picture.width, picture.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    show.window->swap();
    const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
    picture.rgb.resize(bottomUp.size());
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(&bottomUp[(picture.height - 1 - y) * rowBytes], rowBytes,
                    &picture.rgb[y * rowBytes]);
    return picture;
}

}  // namespace quarbtro::frames
