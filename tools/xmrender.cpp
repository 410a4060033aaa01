// xmrender: renders an XM module to a 44,100 Hz 16-bit stereo WAV file (or headerless frames)
// through the player's own block renderer, with no sound device.
//
//   xmrender FILE.xm -o OUT.wav [--seconds S] [--raw | --trace]
//
// By default the song is rendered once: until it first comes back to a row it has already
// played, and at most 20 minutes. --seconds renders exactly S seconds from the start.
// --trace writes, instead of audio, one text line per tick and channel with the sequencer's
// state after the tick and what its voice was given (for regression tests).

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "player/channel.h"
#include "player/playback.h"
#include "player/player.h"
#include "player/song_length.h"
#include "player/song_render.h"
#include "player/xm_loader.h"
#include "tools/wav_writer.h"

namespace quarbtro {
namespace {

constexpr std::int32_t rate = defaultOutputRate;
constexpr double longestSeconds = 24000;  // a WAV file's sizes are 32-bit

struct Options {
    std::string input;
    std::string output;
    double seconds = -1;  // below 0: the song once
    bool raw = false;
    bool trace = false;
};

[[noreturn]] void usage(const char* problem) {
    if (problem) std::fprintf(stderr, "xmrender: %s\n", problem);
    std::fprintf(stderr,
                 "usage: xmrender FILE.xm -o OUT.wav [--seconds S] [--raw | --trace]\n"
                 "  -o OUT       where the audio goes; - for standard output\n"
                 "  --seconds S  render exactly S seconds instead of the song once\n"
                 "  --raw        headerless 16-bit little-endian stereo frames instead of WAV\n"
                 "  --trace      a text line per tick and channel instead of audio\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-o" && i + 1 < argc) {
            options.output = argv[++i];
        } else if (argument == "--seconds" && i + 1 < argc) {
            char* end = nullptr;
            options.seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.seconds >= 0 && options.seconds <= longestSeconds))
                usage("--seconds takes a number of seconds from 0 to 24000");
        } else if (argument == "--raw") {
            options.raw = true;
        } else if (argument == "--trace") {
            options.trace = true;
        } else if (argument == "-h" || argument == "--help") {
            usage(nullptr);
        } else if (argument.size() > 1 && argument[0] == '-') {
            usage(("unknown option " + argument).c_str());
        } else if (options.input.empty()) {
            options.input = argument;
        } else {
            usage("give one module file");
        }
    }
    if (options.input.empty()) usage("no module file given");
    if (options.output.empty()) usage("no output given (-o OUT.wav, or -o - for standard output)");
    if (options.raw && options.trace) usage("--raw and --trace exclude each other");
    return options;
}

struct ModuleRelease {
    void operator()(Module* module) const { freeModule(module); }
};
using LoadedModule = std::unique_ptr<Module, ModuleRelease>;

LoadedModule load(const std::string& path) {
    errno = 0;
    LoadedModule module(loadModuleFile(path.c_str()));
    if (!module) {
        const LoadFailure failure = lastLoadFailure();
        if (failure.kind == LoadFailureKind::cannotOpen && errno != 0)
            std::fprintf(stderr, "xmrender: %s: %s\n", path.c_str(), std::strerror(errno));
        else
            std::fprintf(stderr, "xmrender: %s: %s\n", path.c_str(), failure.reason);
        std::exit(1);
    }
    return module;
}

[[noreturn]] void cannotPlay(const std::string& path) {
    std::fprintf(stderr, "xmrender: %s: cannot be played\n", path.c_str());
    std::exit(1);
}

std::int16_t littleEndian(std::int16_t sample) {
    if constexpr (std::endian::native == std::endian::little) return sample;
    const auto bits = static_cast<std::uint16_t>(sample);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((bits >> 8) | (bits << 8)));
}

class Output {
public:
    explicit Output(const std::string& path) : path_(path) {
        file_ = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
        if (!file_) fail();
    }
    void write(const void* bytes, std::size_t count) {
        if (std::fwrite(bytes, 1, count, file_) != count) fail();
    }
    void close() {
        if ((file_ == stdout ? std::fflush(file_) : std::fclose(file_)) != 0) fail();
    }

private:
    [[noreturn]] void fail() {
        std::fprintf(stderr, "xmrender: cannot write %s: %s\n", path_ == "-" ? "standard output" : path_.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
    std::string path_;
    std::FILE* file_ = nullptr;
};

// A progress line on a terminal, once rendering has taken more than a second.
class Progress {
public:
    explicit Progress(std::int64_t totalFrames) : total_(totalFrames), shown_(isatty(2)) {}
    void update(std::int64_t frames) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - started_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        printing_ = true;
        std::fprintf(stderr, "\rxmrender: %s of %s rendered", clock(frames).c_str(), clock(total_).c_str());
    }
    void finish() {
        if (printing_) std::fprintf(stderr, "\n");
    }

private:
    static std::string clock(std::int64_t frames) {
        const std::int64_t seconds = frames / rate;
        char text[32];
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
        return text;
    }
    std::int64_t total_;
    bool shown_;
    bool printing_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

void writeLine(Output& output, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeLine(Output& output, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    output.write(line, static_cast<std::size_t>(std::min<int>(length, sizeof line - 1)));
}

// The trace: after every tick, per channel, where the song is, the frames of the next tick and
// the global volume, the channel's pitch, volume, panning, envelope outputs and fade, and its
// voice: which one, the frame it starts from (nothing is mixed, so the position moves only
// when a note starts or rewinds), its frequency, volume and panning.
int trace(const Options& options) {
    LoadedModule module = load(options.input);
    auto player = std::make_unique<Player>();
    configureOutput(*player, rate);
    if (!beginPlayback(*player, module.get())) cannotPlay(options.input);
    const std::int64_t limit =
        options.seconds >= 0 ? std::llround(options.seconds * rate) : SongRenderRequest{}.maxFrames;
    Output output(options.output);
    writeLine(output, "# order row tick  spt gv ch period pdelta vol vdelta pan venv penv  fade | voice  start   freq vvol vpan\n");
    SongWalk walk(*player, *module);
    while (walk.frame() < limit && (options.seconds >= 0 || !walk.atRepeat())) {
        walk.step();
        for (int c = 0; c < module->channelCount; ++c) {
            const Channel& channel = player->channels[c];
            const Voice& voice = *channel.voice;
            writeLine(output, "%7d %3d %4d %4d %2d %2d %6d %6d %3d %6d %3d %4d %4d %5d | %5d %6u %6d %4d %4d\n",
                      walk.order(), walk.row(), walk.tick(), module->samplesPerTick,
                      module->globalVolume, c, channel.period, channel.periodDelta,
                      channel.volume, channel.volumeDelta, channel.panning, channel.volEnvVolume,
                      channel.panEnvPanning, channel.fadeOut, voice.index, voice.positionInt,
                      voice.frequency, voice.volume,
                      voice.panning);
        }
    }
    output.close();
    endPlayback(*player);
    return 0;
}

int run(const Options& options) {
    if (options.trace) return trace(options);
    LoadedModule module = load(options.input);
    SongRenderRequest request;
    if (options.seconds >= 0) request.frames = std::llround(options.seconds * rate);
    auto render = std::make_unique<SongRender>();
    if (!beginSongRender(*render, *module, request)) cannotPlay(options.input);
    const std::int64_t frames = render->totalFrames;

    Output output(options.output);
    if (!options.raw) {
        const std::vector<unsigned char> header = wavHeader(frames, rate);
        output.write(header.data(), header.size());
    }
    Progress progress(frames);
    std::vector<std::int16_t> samples(2 * static_cast<std::size_t>(render->player.blockFrames));
    while (const int count = renderSongBlock(*render)) {
        for (int i = 0; i < 2 * count; ++i) samples[i] = littleEndian(render->player.outputBuffer[i]);
        output.write(samples.data(), 2 * static_cast<std::size_t>(count) * sizeof(std::int16_t));
        progress.update(render->framesDone);
    }
    progress.finish();
    output.close();
    endSongRender(*render);
    return 0;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(quarbtro::parse(argc, argv)); }
