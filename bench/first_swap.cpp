// Preloaded into the intro, this notes when its first frame has been swapped onto the screen:
// it writes "first-swap NANOSECONDS" (CLOCK_MONOTONIC) to the descriptor named by
// $QUARBTRO_BENCH_REPORT_FD once the first glXSwapBuffers has returned. startup-time reads it.

#include <GL/glx.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
bool swapped = false;
}

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using SwapFunction = void (*)(Display*, GLXDrawable);
    static const auto next = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    next(display, drawable);
    if (swapped) return;
    swapped = true;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* fd = std::getenv("QUARBTRO_BENCH_REPORT_FD");
    if (!fd) return;
    char line[64];
    const int length = std::snprintf(line, sizeof line, "first-swap %lld\n",
                                     static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec);
    if (write(std::atoi(fd), line, static_cast<size_t>(length)) < 0) return;
}
