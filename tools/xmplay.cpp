// xmplay: plays an XM module through the sound device, with the player's own playback thread.
//
//   xmplay FILE.xm
//
// Plays the song once (until it first comes back to a row it has already played, as xmrender
// renders it), or until Ctrl+C, showing the order position, the row and the played time on one
// status line. The sound goes where the intro's goes (/dev/dsp, else ALSA's default device;
// QUARBTRO_AUDIO=oss|alsa|null chooses). Should the sound be lost while it plays, it says so and
// ends with status 1.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "player/playback.h"
#include "player/song_length.h"
#include "player/xm_loader.h"
#include "sound/output_choice.h"
#include "sound/sound_playback.h"

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
    // Ctrl+C and SIGTERM are looked at every 50 ms from here on, whatever the sound server does.
    catchInterrupts();
    SoundOutput output{};
    OutputError error;
    if (!openChosenOutput(output, cdFormat, error, &interrupted)) {
        if (!interrupted) std::fprintf(stderr, "xmplay: %s\n", error.text.c_str());
        freeModule(module);
        return interrupted ? 130 : 1;
    }
    auto playback = std::make_unique<SoundPlayback>();
    preparePlayback(*playback, output);
    startPlayback(*playback, module);
    const Player& player = playback->player;

    const bool terminal = isatty(1);
    std::int32_t shownOrder = -1;
    while (!interrupted && !playback->soundLost && playbackClock(*playback) < length) {
        usleep(50000);
        const std::int32_t order = getOrderPosition(player, module);
        if (terminal) {
            std::printf("\rorder %3d/%d  row %3d  %s / %s ", order, module->songLength, getRow(player, module),
                        minutes(getPlayedMs(player, module) / 10).c_str(), minutes(length).c_str());
            std::fflush(stdout);
        } else if (order != shownOrder) {
            std::printf("order %d/%d  %s\n", order, module->songLength,
                        minutes(getPlayedMs(player, module) / 10).c_str());
            std::fflush(stdout);
        }
        shownOrder = order;
    }
    if (terminal) std::printf("\n");
    stopPlayback(*playback, module);
    if (playback->soundLost) {
        std::fprintf(stderr, "xmplay: the sound was lost (%s)\n", playback->lossReason.c_str());
        return 1;
    }
    // Interrupted, the output is left to the process's end: closing it may wait for a sound
    // server that has stopped answering.
    if (interrupted) return 130;
    closePlayback(*playback);
    freeModule(module);
    return 0;
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
