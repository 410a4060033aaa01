// player-speed: how fast the player renders, in its design profile against libxmp (Debian's
// libxmp-dev, linear interpolation, through its public API) in the same process, and in its
// FT2 profile against the design.
//
//   player-speed [--seconds S] [--runs N] [FILE.xm ...]
//
// For the embedded song and every file given: S seconds (30 by default) of 44,100 Hz stereo
// rendered by each player, the load excluded, timed in CPU seconds of this thread; each run
// loads the module afresh, the players take turns, and each figure is the median of N runs
// (7 by default). Prints a markdown table (× real time: seconds of audio per CPU second) and
// summary lines with the medians of the per-module ratios.

#include <xmp.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/song_timing.h"
#include "player/song_render.h"
#include "player/xm_loader.h"

namespace quarbtro {
namespace {

using bench::median;
using bench::Song;
using bench::threadSeconds;

constexpr int rate = defaultOutputRate;
constexpr double goal = 1.5;
constexpr double ft2Goal = 0.95;  // the FT2 profile at most 5 % slower than the design

[[noreturn]] void fail(const std::string& message) { bench::fail("player-speed", message); }

struct Figures {
    double ours = 0;    // × real time
    double ft2 = 0;     // × real time, the FT2 profile
    double theirs = 0;  // × real time
    int channels = 0;
};

// × real time of one run of our player; the module's channel count goes to `channels`.
double renderOurs(const Song& song, std::int64_t frames, PlaybackProfile profile, int& channels) {
    Module* module = loadModuleFromMemory(song.bytes.data(), static_cast<std::int32_t>(song.bytes.size()));
    if (!module) fail(song.name + ": our loader refuses it: " + lastLoadFailure().reason);
    SongRenderRequest request;
    request.rate = rate;
    request.frames = frames;
    request.profile = profile;
    auto render = std::make_unique<SongRender>();
    if (!beginSongRender(*render, *module, request)) fail(song.name + ": our player cannot play it");
    channels = module->channelCount;
    const double start = threadSeconds();
    while (renderSongBlock(*render) != 0) {
    }
    const double seconds = threadSeconds() - start;
    endSongRender(*render);
    freeModule(module);
    return static_cast<double>(render->framesDone) / rate / seconds;
}

// × real time of one run of libxmp, tick by tick (its fastest way), looping at the song's end.
double renderTheirs(const Song& song, std::int64_t frames) {
    xmp_context context = xmp_create_context();
    if (!context) fail("libxmp: no context");
    if (xmp_load_module_from_memory(context, song.bytes.data(), static_cast<long>(song.bytes.size())) != 0)
        fail(song.name + ": libxmp refuses it");
    if (xmp_start_player(context, rate, 0) != 0) fail(song.name + ": libxmp cannot play it");
    xmp_set_player(context, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    xmp_frame_info info{};
    std::int64_t done = 0;
    const double start = threadSeconds();
    while (done < frames) {
        if (xmp_play_frame(context) != 0) fail(song.name + ": libxmp stopped playing");
        xmp_get_frame_info(context, &info);
        done += info.buffer_size / 4;
    }
    const double seconds = threadSeconds() - start;
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return static_cast<double>(done) / rate / seconds;
}

Figures measure(const Song& song, double seconds, int runs) {
    const auto frames = static_cast<std::int64_t>(seconds * rate);
    std::vector<double> ours, ft2, theirs;
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(renderOurs(song, frames, PlaybackProfile::design, figures.channels));
        ft2.push_back(renderOurs(song, frames, PlaybackProfile::ft2, figures.channels));
        theirs.push_back(renderTheirs(song, frames));
    }
    figures.ours = median(ours);
    figures.ft2 = median(ft2);
    figures.theirs = median(theirs);
    return figures;
}

int run(int argc, char** argv) {
    const auto [seconds, runs, songs] = bench::readArguments("player-speed", argc, argv, 30, 7);

    std::printf("| module | channels | ours (× real time) | libxmp (× real time) | ours / libxmp "
                "| ours as FT2 (× real time) | FT2 / design |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    std::vector<double> ratios, ft2Ratios;
    for (const Song& song : songs) {
        const Figures figures = measure(song, seconds, runs);
        const double ratio = figures.ours / figures.theirs;
        const double ft2Ratio = figures.ft2 / figures.ours;
        ratios.push_back(ratio);
        ft2Ratios.push_back(ft2Ratio);
        std::printf("| %s | %d | %.0f | %.0f | %.2f | %.0f | %.2f |\n", song.name.c_str(), figures.channels,
                    figures.ours, figures.theirs, ratio, figures.ft2, ft2Ratio);
        std::fflush(stdout);
    }
    const double middle = median(ratios);
    const double ft2Middle = median(ft2Ratios);
    std::printf("\nplayer speed: %.2f × libxmp on the median of %zu modules (%g s each, median of %d "
                "runs; goal %.1f ×: %s)\n",
                middle, songs.size(), seconds, runs, goal, middle >= goal ? "met" : "not met");
    std::printf("FT2 profile: %.2f × the design's speed on the median of the same modules (goal %.2f ×: %s)\n",
                ft2Middle, ft2Goal, ft2Middle >= ft2Goal ? "met" : "not met");
    return 0;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
