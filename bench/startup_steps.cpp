// The intro's start-up step by step, for startup-time to break down: the steps the intro runs
// (startupSteps, intro/shell.h), each followed by a mark "STEP NANOSECONDS" on the descriptor
// $QUARBTRO_BENCH_REPORT_FD. Then the GLUT main loop draws the first frame and the last mark is
// "first-swap". Each mark comes with the main thread's CPU time in its step,
// "cpu-STEP = MILLISECONDS", which depends less on the machine's load than the marks do.
// Before the last mark, the JPEG decoding alone is timed once more on its own and reported as
// "jpeg-decoding = MILLISECONDS", which is part of the textures' steps. Needs a display and a
// sound device, as the intro does.

#include <GL/freeglut.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/image1Jpeg.h"
#include "assets/image2Jpeg.h"
#include "assets/image3Jpeg.h"
#include "assets/image4Jpeg.h"
#include "intro/shell.h"
#include "scenes/texture.h"
#include "window/display_window.h"

namespace {

using namespace quarbtro;

int reportFd = -1;

std::int64_t nowNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void report(const std::string& line) {
    if (write(reportFd, line.data(), line.size()) < 0) std::exit(1);
}

std::int64_t threadCpuNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The step's end, and the main thread's CPU time in it: "cpu-STEP = MILLISECONDS".
void mark(const char* step, std::int64_t at = nowNanoseconds(),
          std::int64_t cpu = threadCpuNanoseconds()) {
    static std::int64_t cpuBefore = 0;
    // The CPU time first: startup-time stops reading at the "first-swap" mark.
    report("cpu-" + std::string(step) + " = " + std::to_string((cpu - cpuBefore) / 1e6) + "\n");
    report(std::string(step) + " " + std::to_string(at) + "\n");
    cpuBefore = cpu;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "startup-steps: %s\n", what);
    std::exit(1);
}

// The five textures' images, decoded once more: the decoding's share of the texture steps.
double jpegDecodingMilliseconds() {
    const std::pair<const unsigned char*, int> images[] = {
        {image2Jpeg, image2JpegSize}, {image1Jpeg, image1JpegSize}, {image1Jpeg, image1JpegSize},
        {image4Jpeg, image4JpegSize}, {image3Jpeg, image3JpegSize}};
    const std::int64_t from = nowNanoseconds();
    for (const auto& [data, size] : images) freeImage(decodeJpeg(data, size));
    return (nowNanoseconds() - from) / 1e6;
}

void firstFrame() {
    frame();
    const std::int64_t swappedAt = nowNanoseconds();
    const std::int64_t cpu = threadCpuNanoseconds();
    report("jpeg-decoding = " + std::to_string(jpegDecodingMilliseconds()) + "\n");
    mark("first-swap", swappedAt, cpu);
    glutIdleFunc(frame);
    glutDisplayFunc(frame);
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t mainAt = nowNanoseconds();
    const char* fd = std::getenv("QUARBTRO_BENCH_REPORT_FD");
    if (!fd) fail("run it under startup-time");
    reportFd = std::atoi(fd);
    mark("loading", mainAt);
    for (const StartupStep& step :
         startupSteps(&argc, argv, DisplayWindow::Presentation::fullScreen)) {
        step.run();
        mark(step.name.c_str());
    }

    glutIdleFunc(firstFrame);
    glutDisplayFunc(firstFrame);
    glutMainLoop();
}
