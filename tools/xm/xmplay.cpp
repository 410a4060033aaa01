// xmplay: plays XM modules through the sound output, with the player's own playback thread.
//
//   xmplay [OPTION]... FILE.xm...
//
// Plays each song once (until it first comes back to a row it has already played, as xmrender
// renders it), or as many times as --loops says, the files one after another (shuffled with
// --shuffle, over and over with --repeat). On a terminal a status line shows where the song
// heard stands and how it plays, and keys steer it: space pauses and resumes, q quits, the left
// and right arrows move an order position back or forward within the pass, n and p go to the
// next or the previous file, 1 to 9 mute a channel or bring it back. Off a terminal it prints a
// line per order position. The keys come from the terminal even when standard input carries a
// module.
//
// The sound goes where the intro's goes (/dev/dsp, else ALSA's default device; -d or
// QUARBTRO_AUDIO chooses another, a device of its own included). Should the sound be lost while
// it plays, it says so and ends with status 1. Ctrl+C and SIGTERM end it as they would end any
// program, once the terminal and the sound device are put back.

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "player/playback.h"
#include "player/song_length.h"
#include "player/xm_loader.h"
#include "sound/output_choice.h"
#include "sound/sound_playback.h"
#include "cli/command_line.h"
#include "tools/xm/module_input.h"
#include "tools/xm/module_names.h"
#include "tools/xm/play_options.h"
#include "tools/xm/play_progress.h"
#include "tools/xm/profile_option.h"
#include "tools/xm/status_line.h"
#include "tools/xm/terminal_keys.h"

namespace quarbtro {
namespace {

// How long the sound device may take to close after Ctrl+C (a sound server that has stopped
// answering would hold the close up for good).
constexpr int closeAfterSignalMs = 300;

volatile sig_atomic_t interrupted = 0;  // the signal that asks to end, or 0
void interrupt(int signalNumber) { interrupted = signalNumber; }

struct Options {
    std::vector<std::string> files;
    std::string device;  // as -d names it; empty: QUARBTRO_AUDIO, else the default
    int rate = defaultOutputRate;
    bool shuffle = false;
    bool repeat = false;
    bool quiet = false;
    PlayOptions play;
    PlaybackProfile profile = toolsDefaultProfile;
};

Options parse(int argc, char** argv) {
    Options options;
    static const std::string rateHelp =
        "frames a second asked of the device, 8000 to 192000 (default " + std::to_string(defaultOutputRate) + ")";
    std::vector<cli::Option> list = {
        {"device", 'd', "DEVICE",
         "oss, alsa or null, or a device of ALSA's or OSS's own: alsa:hw:1,0, oss:/dev/dsp1 (default: /dev/dsp "
         "where it exists, else ALSA's default device)",
         cli::text(options.device), "--driver"},
        {"rate", 'r', "HZ", rateHelp.c_str(), cli::integer(options.rate, 8000, 192000, "a rate in Hz"),
         "--frequency --samplerate -f"},
    };
    for (cli::Option& option : playOptions(options.play, true)) list.push_back(std::move(option));
    const std::vector<cli::Option> more = {
        {"shuffle", 0, nullptr, "play the files in a random order", cli::flag(options.shuffle), "--random -R --randomize"},
        {"repeat", 0, nullptr, "play the list again and again, until stopped", cli::flag(options.repeat),
         "--loop-all --restart"},
        {"quiet", 'q', nullptr, "no status line or order lines", cli::flag(options.quiet)},
        profileOption(options.profile),
    };
    list.insert(list.end(), more.begin(), more.end());
    const cli::Program program{
        "xmplay",
        "[OPTION]... FILE.xm...",
        "Plays XM modules through the sound device, one after another: each song once (until it\n"
        "first comes back to a row it has already played), or as --loops says.",
        std::move(list),
        "Keys, on a terminal (also when standard input carries a module): space pauses and resumes;\n"
        "q quits; left and right move an order position back or forward within the pass; n and p\n"
        "go to the next or the previous file; 1 to 9 mute a channel or bring it back. The status\n"
        "line shows, for the sound heard, the order position and row, the song's time and its whole\n"
        "time, the speed and BPM, the channels sounding and muted, and the file.\n"
        "\n"
        "A FILE of - reads standard input. QUARBTRO_AUDIO chooses the device as -d does.\n"
        "\n"
        "Exit status: 0 when every file was played (or q); 1 when a file could not be read or\n"
        "played, or there is no sound device or the sound was lost; 2 for wrong arguments. Ctrl+C\n"
        "and SIGTERM end it by the signal, as they end other programs (a shell loop stops too).\n",
    };
    options.files = cli::parseOrExit(program, argc, argv);
    if (options.files.empty()) cli::usageError(program, "no module file given");
    if (!options.device.empty() && !soundDeviceNamed(options.device.c_str(), false))
        cli::usageError(program, "-d takes oss, alsa or null, or alsa:DEVICE or oss:PATH, not \"" + options.device + "\"");
    if (const std::string problem = playOptionsProblem(options.play); !problem.empty())
        cli::usageError(program, problem);
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
    const SoundFormat format{options.rate, 2, SampleEncoding::s16LittleEndian};
    if (openChosenOutput(output, format, error, &interrupted, options.device.empty() ? nullptr : options.device.c_str()))
        return true;
    problem = error.text;
    return false;
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

// Where the song is not to be played as asked, the reason; "" where it is.
std::string unplayable(const Module& module, const Options& options, const std::string& name) {
    if (module.songLength == 0) return name + ": " + nothingToPlay;
    const PlayOptions& play = options.play;
    if (play.startOrder >= module.songLength)
        return name + ": --start " + std::to_string(play.startOrder) + " is past the song's " +
               std::to_string(module.songLength) + " order positions";
    if (play.startSeconds >= 0) {
        const std::int64_t song = songFrames(module, options.rate, 0, 1, options.profile);
        if (std::llround(play.startSeconds * options.rate) >= song)
            return name + ": --start-time " + minutesAndTenths(std::llround(play.startSeconds * 1000)) +
                   " is past the song's end (" + minutesAndTenths(song * 1000 / options.rate) + ")";
    }
    return "";
}

enum class Outcome { played, nextFile, previousFile, quit };

// Plays one song until its end, a key or an interruption.
Outcome playSong(SoundPlayback& playback, const Module& module, const Options& options, TerminalKeys& keys,
                 int file, int fileCount) {
    const std::int32_t rate = playback.player.outputRate;
    const PlayOptions& play = options.play;
    auto milliseconds = [rate](std::int64_t frames) { return frames * 1000 / rate; };
    // The song's passes, and where in its first the playing starts.
    const std::int64_t firstPass = songFrames(module, rate, 0, 1, options.profile);
    const SongPasses passes{firstPass, songFrames(module, rate, 0, 2, options.profile) - firstPass, play.loops};
    const std::int64_t skipFrames = play.startSeconds >= 0 ? std::llround(play.startSeconds * rate) : 0;
    const std::int64_t startTime =
        play.startOrder != 0 ? firstPass - songFrames(module, rate, play.startOrder, 1, options.profile) : skipFrames;
    const std::int64_t limit = play.timeSeconds >= 0 ? std::llround(play.timeSeconds * rate) : -1;
    Player& player = playback.player;
    if (limit >= 0) {
        // The fade counts the frames the player renders, the left-out ones (whole blocks) too.
        player.fadeOutFrames = fadeFramesFor(play.timeSeconds, rate);
        player.fadeOutAt = skipFrames / player.blockFrames * player.blockFrames + limit - player.fadeOutFrames;
    }
    PlayProgress progress;
    progress.start(writtenFrames(playback), startTime, passes, limit);
    startPlayback(playback, &module, play.startOrder, skipFrames);
    const bool terminal = isatty(STDOUT_FILENO);
    bool fastDeviceReported = false;
    const std::string title = nameForPeople(module.title, nameEncodingOf(module.trackerName));
    int shownOrder = -1;
    BlockPosition position{};
    bool shown = false;  // a position has been shown
    for (;;) {
        const std::int64_t heard = static_cast<std::int64_t>(heardPosition(playback).frames);
        const SoundFault fault = playback.fault.load(std::memory_order_acquire);
        if (fault == SoundFault::tooFast && !fastDeviceReported) {
            if (terminal) std::printf("\r\033[K");
            std::fflush(stdout);
            std::fprintf(stderr, "xmplay: %s; playing on in silence, in real time\n",
                         playback.faultReason.c_str());
            fastDeviceReported = true;
        }
        // Nothing is shown until the first block is rendered. A block's position is where the
        // song stands after it: after the block in which the last pass ends, the song has gone
        // back to its start, which is not heard, so the position before it stays.
        BlockPosition latest{};
        if (heardSongPosition(playback, latest)) {
            const std::int64_t latestEnd = static_cast<std::int64_t>(latest.firstFrame) + player.blockFrames;
            if (!shown || progress.total() < 0 || progress.songTime(latestEnd) < progress.total()) {
                position = latest;
                shown = true;
            }
        }
        if (shown && terminal && !options.quiet) {
            const StatusFacts facts{position.order, module.songLength, position.row,
                                    milliseconds(progress.songTime(heard)),
                                    progress.total() < 0 ? -1 : milliseconds(progress.total()),
                                    position.playing.speed, position.playing.bpm, position.playing.soundingChannels,
                                    module.channelCount, player.mutedChannels.load(), progress.paused(), file,
                                    fileCount, title};
            std::printf("\r%s\033[K", statusLine(facts, terminalWidth()).c_str());
            std::fflush(stdout);
        } else if (shown && position.order != shownOrder && !options.quiet) {
            std::printf("order %d/%d  %s\n", position.order, module.songLength,
                        minutesAndTenths(milliseconds(progress.songTime(heard))).c_str());
            std::fflush(stdout);
            shownOrder = position.order;
        }
        // Shown first, so that every song shows where it starts, however briefly it plays.
        if (interrupted || soundGone(fault) || progress.over(heard)) return Outcome::played;
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
                const int target = std::clamp(position.order + (key == Key::nextOrder ? 1 : -1), 0,
                                              std::max(module.songLength - 1, 0));
                progress.move(writtenFrames(playback), heard, songFrames(module, rate, target, 1, options.profile));
                moveToOrder(playback, target);
                break;
            }
            default:
                if (const int channel = channelOfKey(key); channel > 0 && channel <= module.channelCount)
                    player.mutedChannels.fetch_xor(1u << (channel - 1));
                break;
        }
    }
}

// The order the files play in: as given, or shuffled.
std::vector<std::size_t> playingOrder(std::size_t count, bool shuffle) {
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = i;
    if (shuffle) std::shuffle(order.begin(), order.end(), std::mt19937(std::random_device{}()));
    return order;
}

// Plays the files; the exit status, unless a signal asks to end (interrupted).
int playFiles(const Options& options, TerminalKeys& keys) {
    const bool terminal = isatty(STDOUT_FILENO);
    int status = cli::doneStatus;
    const int fileCount = static_cast<int>(options.files.size());
    std::vector<std::size_t> order = playingOrder(options.files.size(), options.shuffle);
    bool playedThisRound = false;
    for (int index = 0; !interrupted;) {
        if (index >= fileCount) {
            // Over again, unless nothing of the list could be played (it would only fail again).
            if (!options.repeat || !playedThisRound) break;
            order = playingOrder(options.files.size(), options.shuffle);
            index = 0;
            playedThisRound = false;
        }
        const std::string& path = options.files[order[static_cast<std::size_t>(index)]];
        const std::string name = shownName(path);
        std::string problem;
        const LoadedModule song = readModule(path, problem);
        if (song && *lastLoadWarning()) std::fprintf(stderr, "xmplay: %s: %s\n", name.c_str(), lastLoadWarning());
        if (song) problem = unplayable(*song, options, name);
        if (!song || !problem.empty()) {
            if (!interrupted) std::fprintf(stderr, "xmplay: %s\n", problem.c_str());
            status = cli::failureStatus;
            ++index;
            continue;
        }
        // The device is opened for each song and closed after it, which drops what it still
        // holds: the next song, or a key's move to another file, is heard at once.
        SoundOutput output{};
        if (!openOutput(options, output, problem)) {
            if (!interrupted) std::fprintf(stderr, "xmplay: %s\n", problem.c_str());
            return cli::failureStatus;
        }
        auto playback = std::make_unique<SoundPlayback>();
        preparePlayback(*playback, output);
        applySettings(playback->player, options.play);
        usePlaybackProfile(playback->player, options.profile);
        const Outcome outcome = playSong(*playback, *song, options, keys, index + 1, fileCount);
        if (terminal && !options.quiet) std::printf("\r\033[K");
        std::fflush(stdout);
        stopPlayback(*playback, song.get());
        playedThisRound = true;
        const SoundFault fault = playback->fault.load(std::memory_order_acquire);
        if (soundGone(fault)) {
            if (fault == SoundFault::lost)
                std::fprintf(stderr, "xmplay: the sound was lost (%s)\n", playback->faultReason.c_str());
            else
                std::fprintf(stderr, "xmplay: no sound: %s\n", playback->faultReason.c_str());
            closePlayback(*playback);  // the null sink that took the device's place
            return cli::failureStatus;
        }
        const Player& player = playback->player;
        if (player.clippedSamples > 0 && !options.quiet && !interrupted)
            std::fprintf(stderr, "xmplay: %s: %lld samples clipped (%.2g %%); a lower --gain keeps them\n", name.c_str(),
                         static_cast<long long>(player.clippedSamples),
                         100.0 * static_cast<double>(player.clippedSamples) / (2.0 * static_cast<double>(player.renderedFrames)));
        if (interrupted) {
            // A sound server that has stopped answering may hold the close up: it is given a
            // moment, and the signal then ends the program whatever it is doing.
            std::lock_guard guard(playback->lock);
            closeSoundOutputWithin(playback->output, closeAfterSignalMs);
            return status;
        }
        closePlayback(*playback);
        if (outcome == Outcome::quit) break;
        index = outcome == Outcome::previousFile ? std::max(index - 1, 0) : index + 1;
    }
    return status;
}

int run(int argc, char** argv) {
    const Options options = parse(argc, argv);
    // Ctrl+C and SIGTERM are looked at every 50 ms from here on, whatever the sound server does.
    catchInterrupts();
    int status;
    {
        const int keyboard = keyboardDescriptor();
        TerminalKeys keys(keyboard, keyboard != STDIN_FILENO);
        status = playFiles(options, keys);
    }  // the terminal is put back here
    if (interrupted) {
        // Ended by the signal, as the shell expects of a program that Ctrl+C stops (a loop of
        // xmplay stops too).
        std::fflush(stdout);
        signal(interrupted, SIG_DFL);
        raise(interrupted);
    }
    return status;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
