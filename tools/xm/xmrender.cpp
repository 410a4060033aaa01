// xmrender: renders XM modules to sound files through the player's own block renderer, with
// no sound device: 16-bit WAV (the default), 32-bit float WAV, FLAC or raw frames, at any rate
// from 8,000 to 192,000 Hz.
//
//   xmrender [OPTION]... FILE.xm...          each module to NAME.wav here
//   xmrender [OPTION]... FILE.xm -o OUT      one module
//   xmrender [OPTION]... FILE.xm... -O DIR   each module to DIR, named after it
//
// By default each song is rendered once: until it first comes back to a row it has already
// played, and at most 20 minutes; --start and --start-time start later and still end where the
// song ends. --seconds renders exactly S seconds instead, --time at most that long. --trace
// writes, instead of audio, one text line per tick and channel with the sequencer's state after
// the tick and what its voice was given (for regression tests). Several modules are rendered at
// once, one per processor unless -j says otherwise.
//
// An output file is written under a temporary name beside it and renamed when complete, so a
// failure (a full disk) or Ctrl+C leaves nothing behind; an existing file is written over only
// with --force, and an input never. Standard output, devices and pipes are written directly.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "player/channel.h"
#include "player/mixer.h"
#include "player/player.h"
#include "player/song_length.h"
#include "player/song_render.h"
#include "player/xm_loader.h"
#include "cli/command_line.h"
#include "tools/xm/module_input.h"
#include "tools/xm/output_file.h"
#include "tools/xm/profile_option.h"
#include "tools/xm/play_options.h"
#include "tools/xm/sound_file.h"

namespace quarbtro {
namespace {

struct Options {
    std::vector<std::string> inputs;
    std::string output;     // -o: one output, "-" for standard output
    std::string directory;  // -O: one output per input in this directory
    std::optional<SoundFileFormat> format;
    bool trace = false;
    bool force = false;
    bool quiet = false;
    double seconds = -1;  // below 0: the song, `loops` times
    int rate = defaultOutputRate;
    int jobs = 0;  // modules rendered at once; 0: one per processor
    PlayOptions play;
    PlaybackProfile profile = toolsDefaultProfile;
};

// One module to render and where it goes.
struct Job {
    std::string input;   // a path, or "-" for standard input
    std::string output;  // a path, or "-" for standard output
    SoundFileFormat format;
};

Options parse(int argc, char** argv, cli::Program& program) {
    Options options;
    static const std::string rateHelp =
        "output frames a second, 8000 to 192000 (default " + std::to_string(defaultOutputRate) + ")";
    const cli::Taker takeFormat = [&options](const char* value) {
        options.format = soundFileFormatNamed(value);
        return options.format ? std::string() : std::string("takes wav, float, flac or raw");
    };
    const cli::Taker takeFloat = [&options](const char*) {
        options.format = SoundFileFormat::floatWav;
        return std::string();
    };
    const cli::Taker takeRaw = [&options](const char*) {
        options.format = SoundFileFormat::raw;
        return std::string();
    };
    std::vector<cli::Option> list = {
        {"output", 'o', "OUT", "the output for one module; - for standard output", cli::text(options.output),
         "--output-file"},
        {"output-dir", 'O', "DIR", "one output per module in DIR (made if missing), named after the module",
         cli::text(options.directory)},
        {"format", 0, "FORMAT", "wav (16-bit), float, flac or raw (default: by OUT's extension, else wav)",
         takeFormat, "--output-type"},
        {"float", 0, nullptr, "32-bit float WAV: the mix itself, before rounding and clipping", takeFloat},
        {"raw", 0, nullptr, "headerless 16-bit little-endian stereo frames", takeRaw, "--stdout"},
    };
    for (cli::Option& option : playOptions(options.play, false)) list.push_back(std::move(option));
    const std::vector<cli::Option> more = {
        {"seconds", 0, "S", "render exactly S seconds instead of the song",
         cli::number(options.seconds, 0, longestOptionSeconds, "a number of seconds")},
        {"rate", 'r', "HZ", rateHelp.c_str(), cli::integer(options.rate, 8000, 192000, "a rate in Hz"),
         "--frequency --samplerate -f"},
        profileOption(options.profile),
        {"jobs", 'j', "N", "render N modules at once (default: one per processor)",
         cli::integer(options.jobs, 1, maxOutputsAtOnce, "a number of modules")},
        {"force", 'f', nullptr, "write over existing files", cli::flag(options.force)},
        {"quiet", 'q', nullptr, "no progress line", cli::flag(options.quiet)},
        {"trace", 0, nullptr, "a text line per tick and channel instead of audio", cli::flag(options.trace)},
    };
    list.insert(list.end(), more.begin(), more.end());
    program = {
        "xmrender",
        "[OPTION]... FILE.xm... [-o OUT | -O DIR]",
        "Renders XM modules to sound files through the player itself (the same block renderer,\n"
        "sequencer and mixer as the intro), with no sound device: each song once, until it first\n"
        "comes back to a row it has already played (and at most 20 minutes), or as asked.",
        std::move(list),
        "Without -o or -O each module is written here, named after it (song.xm: song.wav). A FILE\n"
        "of - reads standard input. The format follows OUT's extension (.wav, .flac, .raw). An\n"
        "output is written under a temporary name and renamed when complete: a failure or Ctrl+C\n"
        "leaves nothing. On a terminal a progress line shows how far the rendering has got once it\n"
        "takes longer than a second. Samples clipped to 16 bits are counted and said at the end.\n"
        "\n"
        "Exit status: 0 when every module was rendered; 1 when a module could not be read, loaded\n"
        "or played, or an output could not be written (the others are still rendered); 2 for wrong\n"
        "arguments.\n",
    };
    options.inputs = cli::parseOrExit(program, argc, argv);
    return options;
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The name's extension with its dot (".wav"), or "" for a name without one.
std::string extensionOf(const std::string& path) {
    const std::string name = nameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
}

std::string stem(const std::string& path) {
    const std::string name = nameOf(path);
    return name.substr(0, name.size() - extensionOf(name).size());
}

bool isDevice(const std::string& path) {
    struct stat target;
    return path == "-" || (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode));
}

// The format of -o's output: --format's, else its extension's; an extension that names no
// format is a usage error.
SoundFileFormat formatOf(const Options& options, const cli::Program& program) {
    if (options.format) return *options.format;
    if (options.trace) return SoundFileFormat::wav;  // text, whatever the name
    if (options.output.empty() || isDevice(options.output)) return SoundFileFormat::wav;
    const std::string extension = extensionOf(options.output);
    if (extension.empty()) return SoundFileFormat::wav;
    if (const auto format = soundFileFormatOfPath(options.output)) return *format;
    cli::usageError(program, "-o " + options.output + ": xmrender writes .wav, .flac and .raw files, not " + extension +
                                 " (--float for 32-bit WAV; --format names the format for any name)");
}

// The outputs of every input, with what is wrong with the arguments said and ended with
// status 2.

std::vector<Job> plan(const Options& options, const cli::Program& program) {
    if (options.inputs.empty()) cli::usageError(program, "no module file given");
    if (!options.output.empty() && !options.directory.empty()) cli::usageError(program, "-o and -O exclude each other");
    const PlayOptions defaults;
    const PlayOptions& play = options.play;
    if (options.trace && (options.format || play.gainDb != 0 || options.rate != defaultOutputRate ||
                          play.stereo != 100 || play.interpolation != defaults.interpolation || play.muted != 0 ||
                          play.soloed != 0 || play.startSeconds >= 0 || play.timeSeconds >= 0))
        cli::usageError(program, "--trace writes text: it takes no format, gain, rate, sound settings or times");
    if (options.seconds >= 0 && (play.loops != 1 || play.timeSeconds >= 0))
        cli::usageError(program, "--seconds excludes --loops and --time");
    if (const std::string problem = playOptionsProblem(play); !problem.empty()) cli::usageError(program, problem);
    if (!options.output.empty() && options.inputs.size() > 1)
        cli::usageError(program, "-o takes one module: -O DIR writes one output for each");
    const SoundFileFormat format = formatOf(options, program);
    std::vector<Job> jobs;
    std::set<std::string> outputs;
    int standardInputs = 0;
    for (const std::string& input : options.inputs) {
        if (input == "-" && ++standardInputs > 1) cli::usageError(program, "standard input (-) can be read once");
        if (!options.output.empty()) {
            jobs.push_back({input, options.output, format});
            continue;
        }
        if (input == "-") cli::usageError(program, "standard input (-) has no name to write after: give -o OUT");
        const std::string output = (options.directory.empty() ? "" : options.directory + "/") + stem(input) +
                                   (options.trace ? ".trace" : extensionOf(format));
        if (!outputs.insert(output).second)
            cli::usageError(program, input + " would be written to " + output + " a second time");
        jobs.push_back({input, output, format});
    }
    if (!options.trace && !canWrite(format))
        cli::usageError(program, "this xmrender was built without libFLAC: it writes wav, float or raw");
    return jobs;
}

// Messages and the progress line, from any of the rendering threads: each message a whole line,
// the progress line cleared before it and drawn again after. The progress line appears on a
// terminal once rendering has taken more than a second: for one module how far it has got,
// for several how many are done.
class Report {
public:
    Report(std::size_t modules, bool quiet) : modules_(modules), shown_(!quiet && isatty(STDERR_FILENO)) {}
    ~Report() { clearLine(); }

    void say(const std::string& line) {
        std::lock_guard guard(lock_);
        clearLine();
        std::fprintf(stderr, "xmrender: %s\n", line.c_str());
    }
    // One module's frames rendered so far, of all it will have.
    void rendered(const std::string& name, std::int64_t frames, std::int64_t total, std::int32_t rate) {
        if (!shown_ || modules_ != 1) return;
        std::lock_guard guard(lock_);
        if (!due()) return;
        std::fprintf(stderr, "\rxmrender: %s: %s of %s rendered", name.c_str(), clock(frames / rate).c_str(),
                     clock(total / rate).c_str());
    }
    void moduleDone() {
        std::lock_guard guard(lock_);
        ++done_;
        if (!shown_ || modules_ == 1 || !due()) return;
        std::fprintf(stderr, "\rxmrender: %zu of %zu modules rendered", done_, modules_);
    }

private:
    bool due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - started_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) return false;
        last_ = now;
        printing_ = true;
        return true;
    }
    void clearLine() {
        if (printing_) std::fprintf(stderr, "\r\033[K");
        printing_ = false;
    }
    static std::string clock(std::int64_t seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
        return text;
    }

    std::mutex lock_;
    std::size_t modules_, done_ = 0;
    bool shown_;
    bool printing_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

// Where a job's bytes go: standard output, a device or pipe named as the output (/dev/null),
// or a regular file, written under its temporary name.
class Destination {
public:
    ~Destination() {
        if (direct_ && direct_ != stdout) std::fclose(direct_);
    }
    bool open(const std::string& path, std::string& problem) {
        path_ = path;
        if (path == "-") {
            direct_ = stdout;
        } else if (isDevice(path)) {
            direct_ = std::fopen(path.c_str(), "wb");
            if (!direct_) problem = "cannot write " + path + ": " + std::strerror(errno);
            return direct_ != nullptr;
        } else {
            return file_.open(path, problem);
        }
        return true;
    }
    std::FILE* stream() const { return direct_ ? direct_ : file_.stream(); }
    std::string shownName() const { return path_ == "-" ? "standard output" : path_; }
    bool complete(bool force, std::string& problem) {
        if (std::ferror(stream())) {
            problem = "cannot write " + shownName();
            file_.abandon();
            return false;
        }
        if (!direct_) return file_.commit(force, problem);
        if (std::fflush(direct_) == 0) return true;
        problem = "cannot write " + shownName() + ": " + std::strerror(errno);
        return false;
    }

private:
    std::string path_;
    std::FILE* direct_ = nullptr;
    OutputFile file_;
};

// The trace: after every tick, per channel, where the song is, the frames of the next tick and
// the global volume, the channel's pitch, volume, panning, envelope outputs and fade, and its
// voice: which one, the frame it starts from (nothing is mixed, so the position moves only
// when a note starts or rewinds), its frequency, volume and panning.
bool writeTrace(const Module& module, const Options& options, std::FILE* out) {
    SongWalk walk(module, defaultOutputRate, options.play.startOrder, options.profile);
    if (!walk.started()) return false;
    const std::int64_t limit = options.seconds >= 0 ? std::llround(options.seconds * defaultOutputRate)
                                                    : longestPassSeconds * defaultOutputRate;
    std::fprintf(out, "# order row tick  spt gv ch period pdelta vol vdelta pan venv penv  fade | voice  start   freq vvol vpan\n");
    const Player& player = walk.player();
    while (walk.frame() < limit && (options.seconds >= 0 || !walk.atRepeat())) {
        walk.step();
        for (int c = 0; c < module.channelCount; ++c) {
            const Channel& channel = player.channels[c];
            const Voice& voice = *channel.voice;
            std::fprintf(out, "%7d %3d %4d %4d %2d %2d %6d %6d %3d %6d %3d %4d %4d %5d | %5d %6u %6d %4d %4d\n",
                         walk.order(), walk.row(), walk.tick(), player.song.samplesPerTick, player.song.globalVolume, c,
                         channel.period, channel.periodDelta, channel.volume, channel.volumeDelta, channel.panning,
                         channel.volEnvVolume, channel.panEnvPanning, channel.fadeOut, voice.index,
                         voice.positionInt, voice.frequency, voice.volume, voice.panning);
        }
    }
    return true;
}

// What a render's 16-bit samples lost to clipping.
struct Clipping {
    std::int64_t samples = 0;  // clipped
    std::int64_t of = 0;       // in all
    float peak = 0;            // the largest magnitude mixed
};

// Renders the song into the writer; false with the problem said.
bool writeSound(SongRender& render, const Options& options, const std::string& name, SoundWriter& writer,
                Report& report, Clipping& clipping, std::string& problem) {
    if (!writer.begin(render.totalFrames, options.rate)) {
        problem = writer.error();
        return false;
    }
    while (const int frames = renderSongBlock(render)) {
        const float* mix = render.player.mixBuffer;
        const std::int16_t* samples = render.player.outputBuffer;
        if (!writer.write(mix, samples, frames)) {
            problem = writer.error();
            return false;
        }
        clipping.samples += clippedSamples(mix, 2 * frames);
        clipping.of += 2 * frames;
        for (int i = 0; i < 2 * frames; ++i) clipping.peak = std::max(clipping.peak, std::fabs(mix[i]));
        report.rendered(name, render.framesDone, render.totalFrames, options.rate);
    }
    if (!writer.finish()) {
        problem = writer.error();
        return false;
    }
    return true;
}

// "12,345,678"
std::string grouped(std::int64_t number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

// Where the song cannot be played as asked, the reason; "" where it can.
std::string unplayable(const Module& module, const Options& options, const std::string& name) {
    if (module.songLength == 0) return name + ": " + nothingToPlay;
    if (options.play.startOrder >= module.songLength)
        return name + ": --start " + std::to_string(options.play.startOrder) + " is past the song's " +
               std::to_string(module.songLength) + " order positions";
    if (options.play.startSeconds >= 0) {
        const std::int64_t song = songFrames(module, options.rate, 0, 1, options.profile);
        if (std::llround(options.play.startSeconds * options.rate) >= song) {
            char text[160];
            std::snprintf(text, sizeof text, "--start-time %.1f s is past the song's end (%.1f s)",
                          options.play.startSeconds, static_cast<double>(song) / options.rate);
            return name + ": " + text;
        }
    }
    return "";
}

// Renders one module; the problem, when there is one, in words.
bool render(const Job& job, const Options& options, Report& report, std::string& problem) {
    if (job.output != "-") {
        for (const std::string& input : options.inputs) {
            if (input != "-" && isSameFile(input, job.output)) {
                problem = "refusing to write over the module " + input;
                return false;
            }
        }
        struct stat target;
        const bool exists = stat(job.output.c_str(), &target) == 0;
        if (exists && S_ISDIR(target.st_mode)) {
            problem = "cannot write " + job.output + ": it is a directory";
            return false;
        }
        if (exists && S_ISREG(target.st_mode) && !options.force) {
            problem = job.output + " exists: --force writes over it";
            return false;
        }
    }
    const LoadedModule module = readModule(job.input, problem);
    if (!module) return false;
    const std::string name = shownName(job.input);
    if (*lastLoadWarning()) report.say(name + ": " + lastLoadWarning());
    problem = unplayable(*module, options, name);
    if (!problem.empty()) return false;

    auto songRender = std::make_unique<SongRender>();
    if (!options.trace) {
        const PlayOptions& play = options.play;
        SongRenderRequest request;
        request.rate = options.rate;
        request.profile = options.profile;
        request.startOrder = play.startOrder;
        request.passes = play.loops;
        if (options.seconds >= 0) request.frames = std::llround(options.seconds * options.rate);
        if (play.startSeconds >= 0) request.skipFrames = std::llround(play.startSeconds * options.rate);
        if (play.timeSeconds >= 0) {
            request.longestFrames = std::llround(play.timeSeconds * options.rate);
            request.fadeFrames = fadeFramesFor(play.timeSeconds, options.rate);
        }
        if (!beginSongRender(*songRender, *module, request, [&](Player& player) { applySettings(player, play); })) {
            problem = name + ": cannot be played";
            return false;
        }
    }

    Destination destination;
    if (!destination.open(job.output, problem)) return false;
    bool written;
    Clipping clipping;
    if (options.trace) {
        written = writeTrace(*module, options, destination.stream());
        if (!written) problem = name + ": cannot be played";
    } else {
        const auto writer = makeSoundWriter(job.format, destination.stream(), destination.shownName());
        written = writeSound(*songRender, options, name, *writer, report, clipping, problem);
        endSongRender(*songRender);
    }
    if (!written || !destination.complete(options.force, problem)) return false;
    // A float file holds the mix itself: nothing of it is clipped.
    if (clipping.samples > 0 && job.format != SoundFileFormat::floatWav) {
        const double lower = 20 * std::log10(clipping.peak / highestHeld);
        char text[200];
        std::snprintf(text, sizeof text, "%s samples clipped (%.2g %%); a gain %.1f dB lower keeps them all",
                      grouped(clipping.samples).c_str(), 100.0 * static_cast<double>(clipping.samples) / clipping.of,
                      std::ceil(lower * 10) / 10);
        report.say(destination.shownName() + ": " + text);
    }
    return true;
}

// Makes -O's directory unless it is there (its parents must be: a mistyped path is an error).
bool makeDirectory(const std::string& directory, std::string& problem) {
    struct stat status;
    if (stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;
    if (mkdir(directory.c_str(), 0777) == 0) return true;
    problem = "cannot make " + directory + ": " + std::strerror(errno);
    return false;
}

int run(int argc, char** argv) {
    cli::Program program;
    const Options options = parse(argc, argv, program);
    const std::vector<Job> jobs = plan(options, program);
    std::string problem;
    if (!options.directory.empty() && !makeDirectory(options.directory, problem)) {
        std::fprintf(stderr, "xmrender: %s\n", problem.c_str());
        return cli::failureStatus;
    }
    removePartialFileOnSignals();
    Report report(jobs.size(), options.quiet);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (std::size_t index; (index = next++) < jobs.size();) {
            std::string why;
            if (!render(jobs[index], options, report, why)) {
                report.say(why);
                failed = true;
            }
            report.moduleDone();
        }
    };
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads =
        std::min<std::size_t>(options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : processors, jobs.size());
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
    return failed ? cli::failureStatus : cli::doneStatus;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
