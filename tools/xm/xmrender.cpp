// xmrender: renders XM modules to sound files through the player's own block renderer, with
// no sound device: 16-bit WAV (the default), 32-bit float WAV, FLAC or raw frames, at any rate
// from 8,000 to 192,000 Hz.
//
//   xmrender [OPTION]... FILE.xm -o OUT      one module
//   xmrender [OPTION]... FILE.xm... -O DIR   each module to DIR, named after it
//
// By default each song is rendered once: until it first comes back to a row it has already
// played, and at most 20 minutes. --seconds renders exactly S seconds instead. --trace writes,
// instead of audio, one text line per tick and channel with the sequencer's state after the
// tick and what its voice was given (for regression tests).
//
// An output file is written under a temporary name beside it and renamed when complete, so a
// failure (a full disk) or Ctrl+C leaves nothing behind; an existing file is written over only
// with --force, and an input never. Standard output, devices and pipes are written directly.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "player/channel.h"
#include "player/player.h"
#include "player/song_length.h"
#include "player/song_render.h"
#include "cli/command_line.h"
#include "tools/xm/module_input.h"
#include "tools/xm/output_file.h"
#include "tools/xm/profile_option.h"
#include "tools/xm/sound_file.h"

namespace quarbtro {
namespace {

constexpr double longestSeconds = 24000;

struct Options {
    std::vector<std::string> inputs;
    std::string output;     // -o: one output, "-" for standard output
    std::string directory;  // -O: one output per input in this directory
    std::optional<SoundFileFormat> format;
    bool trace = false;
    bool force = false;
    double seconds = -1;  // below 0: the song, `loops` times
    int startOrder = 0;
    int loops = 1;
    int rate = defaultOutputRate;
    double gainDb = 0;
    PlaybackProfile profile = toolsDefaultProfile;
};

// One module to render and where it goes.
struct Job {
    std::string input;   // a path, or "-" for standard input
    std::string output;  // a path, or "-" for standard output
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
    program = {
        "xmrender",
        "[OPTION]... FILE.xm... (-o OUT | -O DIR)",
        "Renders XM modules to sound files through the player itself (the same block renderer,\n"
        "sequencer and mixer as the intro), with no sound device: each song once, until it first\n"
        "comes back to a row it has already played (and at most 20 minutes), or as asked.",
        {{"output", 'o', "OUT", "the output for one module; - for standard output", cli::text(options.output)},
         {"output-dir", 'O', "DIR", "one output per module in DIR, named after the module",
          cli::text(options.directory)},
         {"format", 0, "FORMAT", "wav (16-bit), float, flac or raw (default: by OUT's extension, else wav)",
          takeFormat},
         {"float", 0, nullptr, "32-bit float WAV: the mix itself, before rounding and clipping", takeFloat},
         {"raw", 0, nullptr, "headerless 16-bit little-endian stereo frames", takeRaw},
         {"start", 's', "ORDER", "start at this order position (default 0)",
          cli::integer(options.startOrder, 0, 255, "an order position")},
         {"loops", 'l', "N", "play the song N times (default 1)", cli::integer(options.loops, 1, 100)},
         {"seconds", 0, "S", "render exactly S seconds instead of the song",
          cli::number(options.seconds, 0, longestSeconds, "a number of seconds")},
         {"rate", 'r', "HZ", rateHelp.c_str(),
          cli::integer(options.rate, 8000, 192000, "a rate in Hz")},
         {"gain", 'g', "DB", "amplify by DB decibels, -60 to 24 (default 0)",
          cli::number(options.gainDb, -60, 24, "decibels")},
         profileOption(options.profile),
         {"force", 'f', nullptr, "write over existing files", cli::flag(options.force)},
         {"trace", 0, nullptr, "a text line per tick and channel instead of audio", cli::flag(options.trace)}},
        "A FILE of - reads standard input. An output is written under a temporary name and renamed\n"
        "when complete: a failure or Ctrl+C leaves nothing. On a terminal a progress line shows how\n"
        "far a render has got once it takes longer than a second.\n"
        "\n"
        "Exit status: 0 when every module was rendered; 1 when a module could not be read, loaded\n"
        "or played, or an output could not be written (the others are still rendered); 2 for wrong\n"
        "arguments.\n",
    };
    options.inputs = cli::parseOrExit(program, argc, argv);
    return options;
}

std::string stem(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// The outputs of every input, with what is wrong with the arguments said and ended with
// status 2.
// What a job writes: the format asked for, else the one its output's name says, else WAV.
SoundFileFormat formatOf(const Options& options, const std::string& output) {
    return options.format.value_or(soundFileFormatOfPath(output).value_or(SoundFileFormat::wav));
}

std::vector<Job> plan(const Options& options, const cli::Program& program) {
    if (options.inputs.empty()) cli::usageError(program, "no module file given");
    if (options.output.empty() == options.directory.empty())
        cli::usageError(program, options.output.empty() ? "no output given (-o OUT, -o - for standard output, or -O DIR)"
                                                        : "-o and -O exclude each other");
    if (options.trace && (options.format || options.gainDb != 0 || options.rate != defaultOutputRate))
        cli::usageError(program, "--trace writes text: it takes no format, gain or rate");
    if (options.seconds >= 0 && options.loops != 1) cli::usageError(program, "--seconds and --loops exclude each other");
    if (!options.output.empty() && options.inputs.size() > 1)
        cli::usageError(program, "-o takes one module: -O DIR writes one output for each");
    std::vector<Job> jobs;
    std::set<std::string> outputs;
    int standardInputs = 0;
    for (const std::string& input : options.inputs) {
        if (input == "-" && ++standardInputs > 1) cli::usageError(program, "standard input (-) can be read once");
        if (!options.output.empty()) {
            jobs.push_back({input, options.output});
            continue;
        }
        if (input == "-") cli::usageError(program, "standard input (-) has no name to write after: give -o OUT");
        const SoundFileFormat format = options.format.value_or(SoundFileFormat::wav);
        const std::string output =
            options.directory + "/" + stem(input) + (options.trace ? ".trace" : extensionOf(format));
        if (!outputs.insert(output).second)
            cli::usageError(program, input + " would be written to " + output + " a second time");
        jobs.push_back({input, output});
    }
    for (const Job& job : jobs)
        if (!options.trace && !canWrite(formatOf(options, job.output)))
            cli::usageError(program, "this xmrender was built without libFLAC: it writes wav, float or raw");
    return jobs;
}

// A progress line on a terminal, once rendering has taken more than a second; cleared at the
// end.
class Progress {
public:
    Progress(std::string name, std::int64_t totalFrames, std::int32_t rate)
        : name_(std::move(name)), total_(totalFrames), rate_(rate), shown_(isatty(STDERR_FILENO)) {}
    void update(std::int64_t frames) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - started_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        printing_ = true;
        std::fprintf(stderr, "\rxmrender: %s: %s of %s rendered", name_.c_str(), clock(frames).c_str(),
                     clock(total_).c_str());
    }
    void finish() {
        if (printing_) std::fprintf(stderr, "\r\033[K");
        printing_ = false;
    }
    ~Progress() { finish(); }

private:
    std::string clock(std::int64_t frames) const {
        const std::int64_t seconds = frames / rate_;
        char text[32];
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
        return text;
    }
    std::string name_;
    std::int64_t total_;
    std::int32_t rate_;
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
        struct stat target;
        if (path == "-") {
            direct_ = stdout;
        } else if (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
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
    SongWalk walk(module, defaultOutputRate, options.startOrder, options.profile);
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

// Renders the song into the writer; false with the problem said.
bool writeSound(SongRender& render, const Options& options, const std::string& name, SoundWriter& writer,
                std::string& problem) {
    if (!writer.begin(render.totalFrames, options.rate)) {
        problem = writer.error();
        return false;
    }
    Progress progress(name, render.totalFrames, options.rate);
    while (const int frames = renderSongBlock(render)) {
        const float* mix = render.player.mixBuffer;
        const std::int16_t* samples = render.player.outputBuffer;
        if (!writer.write(mix, samples, frames)) {
            problem = writer.error();
            return false;
        }
        progress.update(render.framesDone);
    }
    if (!writer.finish()) {
        problem = writer.error();
        return false;
    }
    return true;
}

// Renders one module; the problem, when there is one, in words.
bool render(const Job& job, const Options& options, std::string& problem) {
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
    if (options.startOrder >= module->songLength) {
        problem = shownName(job.input) + ": --start " + std::to_string(options.startOrder) + " is past the song's " +
                  std::to_string(module->songLength) + " order positions";
        return false;
    }

    auto songRender = std::make_unique<SongRender>();
    if (!options.trace) {
        SongRenderRequest request;
        request.rate = options.rate;
        request.profile = options.profile;
        request.startOrder = options.startOrder;
        request.passes = options.loops;
        if (options.seconds >= 0) request.frames = std::llround(options.seconds * options.rate);
        if (!beginSongRender(*songRender, *module, request)) {
            problem = shownName(job.input) + ": cannot be played";
            return false;
        }
        songRender->player.gain = static_cast<float>(std::pow(10.0, options.gainDb / 20));
    }

    Destination destination;
    if (!destination.open(job.output, problem)) return false;
    bool written;
    if (options.trace) {
        written = writeTrace(*module, options, destination.stream());
        if (!written) problem = shownName(job.input) + ": cannot be played";
    } else {
        const auto writer = makeSoundWriter(formatOf(options, job.output), destination.stream(),
                                            destination.shownName());
        written = writeSound(*songRender, options, shownName(job.input), *writer, problem);
        endSongRender(*songRender);
    }
    return written && destination.complete(options.force, problem);
}

int run(int argc, char** argv) {
    cli::Program program;
    const Options options = parse(argc, argv, program);
    const std::vector<Job> jobs = plan(options, program);
    removePartialFileOnSignals();
    int status = cli::doneStatus;
    for (const Job& job : jobs) {
        std::string problem;
        if (!render(job, options, problem)) {
            std::fprintf(stderr, "xmrender: %s\n", problem.c_str());
            status = cli::failureStatus;
        }
    }
    return status;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
