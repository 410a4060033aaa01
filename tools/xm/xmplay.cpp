// xmplay: plays XM modules through the sound output, with the player's own playback thread.
//
//   xmplay [OPTION]... FILE.xm...
//
// Plays each song once (until it first comes back to a row it has already played, as xmrender
// renders it), or as many times as --loops says, the files one after another. On a terminal a
// status line shows where the song stands and how it plays, and keys steer it: space pauses and
// resumes, q quits, the left and right arrows move an order position back or forward, n and p
// go to the next or the previous file. Off a terminal it prints a line per order position.
//
// The sound goes where the intro's goes (/dev/dsp, else ALSA's default device; -d or
// QUARBTRO_AUDIO=oss|alsa|null chooses). Should the sound be lost while it plays, it says so and
// ends with status 1.

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "player/playback.h"
#include "player/song_length.h"
#include "sound/output_choice.h"
#include "sound/sound_playback.h"
#include "cli/command_line.h"
#include "tools/xm/module_input.h"
#include "tools/xm/module_names.h"
#include "tools/xm/play_progress.h"
#include "tools/xm/profile_option.h"
#include "tools/xm/status_line.h"
#include "tools/xm/terminal_keys.h"

namespace quarbtro {
namespace {

constexpr int interruptedStatus = 128 + SIGINT;

volatile sig_atomic_t interrupted = 0;
void interrupt(int) { interrupted = 1; }

struct Options {
    std::vector<std::string> files;
    std::string device;  // oss, alsa or null; empty: QUARBTRO_AUDIO, else the default
    int startOrder = 0;
    int loops = 1;  // 0: until stopped
    double gainDb = 0;
    PlaybackProfile profile = toolsDefaultProfile;
};

Options parse(int argc, char** argv) {
    Options options;
    const cli::Program program{
        "xmplay",
        "[OPTION]... FILE.xm...",
        "Plays XM modules through the sound device, one after another: each song once (until it\n"
        "first comes back to a row it has already played), or as --loops says.",
        {{"device", 'd', "DEVICE",
          "oss, alsa or null, or a device of ALSA's or OSS's own: alsa:hw:1,0, oss:/dev/dsp1 (default: /dev/dsp "
          "where it exists, else ALSA's default device)",
          cli::text(options.device)},
         {"start", 's', "ORDER", "start at this order position (default 0)",
          cli::integer(options.startOrder, 0, 255, "an order position")},
         {"loops", 'l', "N", "play each song N times; 0 plays it until stopped (default 1)",
          cli::integer(options.loops, 0, 100)},
         {"gain", 'g', "DB", "amplify by DB decibels, -60 to 24 (default 0)",
          cli::number(options.gainDb, -60, 24, "decibels")},
         profileOption(options.profile)},
        "Keys, on a terminal: space pauses and resumes; q quits; left and right move an order\n"
        "position back or forward (the pass being played starts afresh there); n and p go to the\n"
        "next or the previous file. The status line shows the order position and row, the time\n"
        "played and the song's whole time, the speed and BPM, the channels sounding, and the file.\n"
        "\n"
        "A FILE of - reads standard input. QUARBTRO_AUDIO=oss|alsa|null chooses the device as -d\n"
        "does.\n"
        "\n"
        "Exit status: 0 when every file was played (or q); 1 when a file could not be read or\n"
        "played, or there is no sound device or the sound was lost; 2 for wrong arguments; 130\n"
        "after Ctrl+C.\n",
    };
    options.files = cli::parseOrExit(program, argc, argv);
    if (options.files.empty()) cli::usageError(program, "no module file given");
    if (!options.device.empty() && !soundDeviceNamed(options.device.c_str(), false))
        cli::usageError(program, "-d takes oss, alsa or null, or alsa:DEVICE or oss:PATH, not \"" + options.device + "\"");
    return options;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool openOutput(const Options& options, SoundOutput& output, std::string& problem) {
    OutputError error;
    if (openChosenOutput(output, cdFormat, error, &interrupted, options.device.empty() ? nullptr : options.device.c_str()))
        return true;
    problem = error.text;
    return false;
}

// Where each of `passes` passes of the song from an order position ends, in frames from there
// (cumulative); none for 0 passes (played until stopped). The walk has a player of its own, so
// it may run while the song plays.
std::vector<std::int64_t> passEnds(const Module& module, std::int32_t rate, int order, int passes,
                                   PlaybackProfile profile) {
    std::vector<std::int64_t> ends;
    SongWalk walk(module, rate, order, profile);
    for (int pass = 1; pass <= passes && walk.started(); ++pass) ends.push_back(walk.walkPass());
    return ends;
}

// The device failed, or never played: xmplay plays only to be heard.
bool soundGone(SoundFault fault) { return fault == SoundFault::lost || fault == SoundFault::neverPlayed; }

std::int64_t writtenFrames(SoundPlayback& playback) {
    std::lock_guard guard(playback.lock);
    return static_cast<std::int64_t>(playback.framesWritten);
}

std::size_t terminalWidth() {
    winsize size{};
    return ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

enum class Outcome { played, nextFile, previousFile, quit };

// Plays one song until its end, a key or an interruption.
Outcome playSong(SoundPlayback& playback, const Module& module, const Options& options, TerminalKeys& keys,
                 int file, int fileCount) {
    const std::int32_t rate = playback.player.outputRate;
    auto milliseconds = [rate](std::int64_t frames) { return frames * 1000 / rate; };
    PlayProgress progress;
    progress.start(writtenFrames(playback),
                   passEnds(module, rate, options.startOrder, options.loops, options.profile));
    startPlayback(playback, &module, options.startOrder);
    const bool terminal = isatty(STDOUT_FILENO);
    bool fastDeviceReported = false;
    const Player& player = playback.player;
    int shownOrder = -1;
    for (;;) {
        const std::int64_t heard = static_cast<std::int64_t>(heardPosition(playback).frames);
        const SoundFault fault = playback.fault.load(std::memory_order_acquire);
        if (interrupted || soundGone(fault) || progress.over(heard)) return Outcome::played;
        if (fault == SoundFault::tooFast && !fastDeviceReported) {
            if (terminal) std::printf("\r\033[K");
            std::fflush(stdout);
            std::fprintf(stderr, "xmplay: %s; playing on in silence, in real time\n",
                         playback.faultReason.c_str());
            fastDeviceReported = true;
        }
        const int order = getOrderPosition(player, &module);
        // Nothing is shown until the first block is rendered: before it the position is the
        // song's start, not the order it starts at.
        const bool rendered = getPlayedMs(player, &module) > 0;
        if (rendered && terminal) {
            const PlayingState state = getPlayingState(player, &module);
            const StatusFacts facts{order, module.songLength, getRow(player, &module),
                                    milliseconds(progress.elapsed(heard)),
                                    progress.total() < 0 ? -1 : milliseconds(progress.total()),
                                    state.speed, state.bpm, state.soundingChannels, module.channelCount,
                                    progress.paused(), file, fileCount, nameForPeople(module.title, nameEncodingOf(module.trackerName))};
            std::printf("\r%s\033[K", statusLine(facts, terminalWidth()).c_str());
            std::fflush(stdout);
        } else if (rendered && order != shownOrder) {
            std::printf("order %d/%d  %s\n", order, module.songLength,
                        minutesAndTenths(milliseconds(progress.elapsed(heard))).c_str());
            std::fflush(stdout);
            shownOrder = order;
        }
        const Key key = keys.next(50);
        switch (key) {
            case Key::quit: return Outcome::quit;
            case Key::nextFile: return Outcome::nextFile;
            case Key::previousFile: return Outcome::previousFile;
            case Key::pause:
                if (progress.paused()) progress.resume(writtenFrames(playback));
                else progress.pause(writtenFrames(playback));
                setPaused(playback, progress.paused());
                break;
            case Key::previousOrder:
            case Key::nextOrder: {
                const int target = std::clamp(order + (key == Key::nextOrder ? 1 : -1), 0,
                                              std::max(module.songLength - 1, 0));
                const int passesLeft = options.loops == 0 ? 0 : options.loops - progress.passesHeard(heard);
                progress.move(writtenFrames(playback), heard,
                              passEnds(module, rate, target, passesLeft, options.profile));
                moveToOrder(playback, target);
                break;
            }
            default: break;
        }
    }
}

int run(int argc, char** argv) {
    const Options options = parse(argc, argv);
    // Ctrl+C and SIGTERM are looked at every 50 ms from here on, whatever the sound server does.
    catchInterrupts();
    TerminalKeys keys(STDIN_FILENO);
    const bool terminal = isatty(STDOUT_FILENO);
    int status = cli::doneStatus;
    const int fileCount = static_cast<int>(options.files.size());
    for (int index = 0; index < fileCount && !interrupted;) {
        const std::string& path = options.files[static_cast<std::size_t>(index)];
        std::string problem;
        const LoadedModule song = readModule(path, problem);
        if (!song) {
            std::fprintf(stderr, "xmplay: %s\n", problem.c_str());
            status = cli::failureStatus;
            ++index;
            continue;
        }
        if (options.startOrder >= song->songLength && options.startOrder != 0) {
            std::fprintf(stderr, "xmplay: %s: --start %d is past the song's %d order positions\n",
                         shownName(path).c_str(), options.startOrder, song->songLength);
            status = cli::failureStatus;
            ++index;
            continue;
        }
        // The device is opened for each song and closed after it, which drops what it still
        // holds: the next song, or a key's move to another file, is heard at once.
        SoundOutput output{};
        if (!openOutput(options, output, problem)) {
            if (!interrupted) std::fprintf(stderr, "xmplay: %s\n", problem.c_str());
            return interrupted ? interruptedStatus : cli::failureStatus;
        }
        auto playback = std::make_unique<SoundPlayback>();
        preparePlayback(*playback, output);
        playback->player.gain = static_cast<float>(std::pow(10.0, options.gainDb / 20));
        usePlaybackProfile(playback->player, options.profile);
        const Outcome outcome = playSong(*playback, *song, options, keys, index + 1, fileCount);
        if (terminal) std::printf("\r\033[K");
        std::fflush(stdout);
        stopPlayback(*playback, song.get());
        const SoundFault fault = playback->fault.load(std::memory_order_acquire);
        if (soundGone(fault)) {
            if (fault == SoundFault::lost)
                std::fprintf(stderr, "xmplay: the sound was lost (%s)\n", playback->faultReason.c_str());
            else
                std::fprintf(stderr, "xmplay: no sound: %s\n", playback->faultReason.c_str());
            return cli::failureStatus;
        }
        // Interrupted, the output is left to the process's end: closing it may wait for a sound
        // server that has stopped answering.
        if (interrupted) return interruptedStatus;
        closePlayback(*playback);
        if (outcome == Outcome::quit) break;
        index = outcome == Outcome::previousFile ? std::max(index - 1, 0) : index + 1;
    }
    return interrupted ? interruptedStatus : status;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
