// resampler: what each interpolation costs and how clean it keeps a tone.
//
//   resampler [--seconds S] [--runs N] [FILE.xm ...]
//
// First the spur-free range of a looped sine (0.0973 cycles a frame) played at steps from 0.25
// to 4 frames per output frame, for each interpolation (tests/player/looped_sine.h). Then the
// cost: S seconds (30 by default) of the embedded song and of every file given, rendered at
// 44,100 Hz with each interpolation, timed in CPU seconds of this thread, the median of N runs
// (5 by default); × real time, and the time each takes against linear's. Prints markdown.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/song_timing.h"
#include "player/song_render.h"
#include "player/xm_loader.h"
#include "tests/player/looped_sine.h"

namespace quarbtro {
namespace {

using bench::median;
using bench::Song;
using bench::threadSeconds;

constexpr Interpolation interpolations[] = {Interpolation::none, Interpolation::linear, Interpolation::cubic,
                                            Interpolation::sinc};
constexpr const char* names[] = {"none", "linear", "cubic", "sinc"};

[[noreturn]] void fail(const std::string& message) { bench::fail("resampler", message); }

// CPU seconds to render `frames` of the song with an interpolation, the load excluded.
double renderSeconds(const Song& song, Interpolation interpolation, std::int64_t frames) {
    Module* module = loadModuleFromMemory(song.bytes.data(), static_cast<std::int32_t>(song.bytes.size()));
    if (!module) fail(song.name + ": the loader refuses it: " + lastLoadFailure().reason);
    SongRenderRequest request;
    request.frames = frames;
    auto render = std::make_unique<SongRender>();
    if (!beginSongRender(*render, *module, request)) fail(song.name + ": the player cannot play it");
    render->player.interpolation = interpolation;
    const double start = threadSeconds();
    while (renderSongBlock(*render) != 0) {
    }
    const double seconds = threadSeconds() - start;
    endSongRender(*render);
    freeModule(module);
    return seconds;
}

void printSpurFreeRanges() {
    std::printf("| step | none | linear | cubic | sinc |\n|---:|---:|---:|---:|---:|\n");
    std::vector<double> lowest(4, 1e9);
    for (double step : {0.25, 0.38, 0.5, 0.73, 1.27, 1.52, 1.9, 2.7, 3.3, 4.0}) {
        std::printf("| %.2f |", step);
        for (int i = 0; i < 4; ++i) {
            const double range = looped_sine::atStep(interpolations[i], step).spurFreeRange;
            lowest[i] = std::min(lowest[i], range);
            std::printf(" %.1f dB |", range);
        }
        std::printf("\n");
    }
    std::printf("| lowest |");
    for (double value : lowest) std::printf(" **%.1f dB** |", value);
    std::printf("\n\n");
}

void printCost(const std::vector<Song>& songs, double seconds, int runs) {
    const auto frames = static_cast<std::int64_t>(seconds * defaultOutputRate);
    std::printf("| module | none | linear | cubic | sinc | cubic / linear | sinc / linear |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    std::vector<double> cubicRatios, sincRatios;
    for (const Song& song : songs) {
        double cpu[4];
        for (int i = 0; i < 4; ++i) {
            std::vector<double> times;
            for (int run = 0; run < runs; ++run) times.push_back(renderSeconds(song, interpolations[i], frames));
            cpu[i] = median(times);
        }
        cubicRatios.push_back(cpu[2] / cpu[1]);
        sincRatios.push_back(cpu[3] / cpu[1]);
        std::printf("| %s |", song.name.c_str());
        for (double each : cpu) std::printf(" %.0f × |", seconds / each);
        std::printf(" %.2f | %.2f |\n", cpu[2] / cpu[1], cpu[3] / cpu[1]);
        std::fflush(stdout);
    }
    std::printf("\nrender cost against linear, median of %zu modules (%g s each, median of %d runs): cubic "
                "%.2f ×, sinc %.2f ×\n",
                songs.size(), seconds, runs, median(cubicRatios), median(sincRatios));
}

int run(int argc, char** argv) {
    const auto [seconds, runs, songs] = bench::readArguments("resampler", argc, argv, 30, 5);
    printSpurFreeRanges();
    printCost(songs, seconds, runs);
    return 0;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
