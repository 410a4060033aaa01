// xmplay: plays an XM module through the sound device, with the player's own playback thread.
//
//   xmplay FILE.xm
//
// Plays the song once (until it first comes back to a row it has already played, as xmrender
// renders it), or until Ctrl+C, showing the order position, the row and the played time on one
// status line. The sound goes to the OSS device /dev/dsp; where that is missing, run it with
// PulseAudio's OSS emulation preloaded (see the README).

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "player/audio_device.h"
#include "player/file_stream.h"
#include "player/playback.h"
#include "player/song_length.h"
#include "player/xm_loader.h"

namespace quarbtro {
namespace {

constexpr std::int32_t rate = defaultOutputRate;
constexpr std::int64_t longestSong = std::int64_t{20} * 60 * rate;

volatile sig_atomic_t interrupted = 0;
void interrupt(int) { interrupted = 1; }

Module* loadOrExit(const char* path) {
    errno = 0;
    Module* module = loadModuleFile(path);
    if (module) return module;
    const LoadFailure failure = lastLoadFailure();
    if (failure.kind == LoadFailureKind::cannotOpen && errno != 0)
        std::fprintf(stderr, "xmplay: %s: %s\n", path, std::strerror(errno));
    else
        std::fprintf(stderr, "xmplay: %s: %s\n", path, failure.reason);
    std::exit(1);
}

// The song's length in centiseconds: the sequencer alone, on a player of its own.
std::int64_t songCentiseconds(Module& module, const char* path) {
    auto player = std::make_unique<Player>();
    configureOutput(*player, rate);
    if (!beginPlayback(*player, &module)) {
        std::fprintf(stderr, "xmplay: %s: cannot be played\n", path);
        std::exit(1);
    }
    const std::int64_t frames = framesUntilRepeat(*player, module, longestSong);
    endPlayback(*player);
    return frames * 100 / rate;
}

std::string minutes(std::int64_t centiseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(centiseconds / 6000),
                  static_cast<long long>(centiseconds / 100 % 60),
                  static_cast<long long>(centiseconds / 10 % 10));
    return text;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int play(const char* path) {
    Module* module = loadOrExit(path);
    const std::int64_t length = songCentiseconds(*module, path);
    // The device opens only once stream callbacks are registered, as for the intro.
    useFileStream();
    errno = 0;
    if (!openAudioDevice(rate)) {
        std::fprintf(stderr, "xmplay: cannot use the sound device /dev/dsp%s%s\n", errno ? ": " : "",
                     errno ? std::strerror(errno) : " (it refused 16-bit stereo at 44,100 Hz)");
        std::fprintf(stderr, "xmplay: without OSS, play through PulseAudio or PipeWire with its OSS "
                             "emulation: LD_PRELOAD=/usr/lib/x86_64-linux-gnu/pulseaudio/libpulsedsp.so\n");
        freeModule(module);
        return 1;
    }
    catchInterrupts();
    audioDevice.bytesWritten = 0;
    startPlayback(module);

    const bool terminal = isatty(1);
    std::int32_t shownOrder = -1;
    while (!interrupted && PlaybackClock() < length) {
        usleep(50000);
        const std::int32_t order = getOrderPosition(devicePlayer, module);
        if (terminal) {
            std::printf("\rorder %3d/%d  row %3d  %s / %s ", order, module->songLength, getRow(devicePlayer, module),
                        minutes(getPlayedMs(devicePlayer, module) / 10).c_str(), minutes(length).c_str());
            std::fflush(stdout);
        } else if (order != shownOrder) {
            std::printf("order %d/%d  %s\n", order, module->songLength,
                        minutes(getPlayedMs(devicePlayer, module) / 10).c_str());
            std::fflush(stdout);
        }
        shownOrder = order;
    }
    stopPlayback(module);
    closeAudioDevice();
    freeModule(module);
    if (terminal) std::printf("\n");
    return interrupted ? 130 : 0;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: xmplay FILE.xm\n");
        return 2;
    }
    return quarbtro::play(argv[1]);
}
