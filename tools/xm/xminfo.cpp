// xminfo: what the player's loader makes of XM files: the song's shape, its length as the
// sequencer plays it once, and each instrument's samples; what is wrong with a file that can
// still be played; for people, or as JSON.
// Exit status 0; 1 when a file cannot be read or the loader refuses it (the reason goes to
// standard error, or into the JSON in the file's place, and the other files are still shown);
// 2 for wrong arguments.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "player/module.h"
#include "player/song_length.h"
#include "player/xm_loader.h"
#include "cli/command_line.h"
#include "tools/xm/module_input.h"
#include "tools/xm/module_names.h"
#include "tools/xm/profile_option.h"

namespace quarbtro {
namespace {

const char* loopName(std::uint8_t loopType) {
    switch (loopType) {
        case loopForward: return "forward";
        case loopPingPong: return "ping-pong";
        default: return "none";
    }
}

// The song played once by the sequencer alone (nothing is mixed), in seconds, and whether it
// ran into the longest pass before coming back to a row; -1 when the player cannot play it.
struct Duration {
    double seconds;
    bool atLongest;
};

Duration durationOf(const Module& module, PlaybackProfile profile) {
    const std::int64_t frames = songFrames(module, defaultOutputRate, 0, 1, profile);
    return {frames < 0 ? -1 : static_cast<double>(frames) / defaultOutputRate,
            frames >= longestPassSeconds * defaultOutputRate};
}

std::string minutes(double seconds) {
    const auto milliseconds = static_cast<std::int64_t>(seconds * 1000 + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(milliseconds / 60000),
                  static_cast<long long>(milliseconds / 1000 % 60), static_cast<long long>(milliseconds % 1000));
    return text;
}

template <typename Each>
void forEachSample(const Module& module, Each each) {
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        for (int slot = 0; slot < instrument.sampleCount; ++slot) each(i + 1, slot, *instrument.samples[slot]);
    }
}

// What is wrong with a module that loaded: the loader's warning, a song with nothing to play.
std::vector<std::string> warningsOf(const Module& module) {
    std::vector<std::string> warnings;
    if (*lastLoadWarning()) warnings.push_back(lastLoadWarning());
    if (module.songLength == 0) warnings.push_back(nothingToPlay);
    return warnings;
}

void printSummary(const std::string& path, const Module& m, const Duration& duration,
                  const std::vector<std::string>& warnings) {
    const NameEncoding encoding = nameEncodingOf(m.trackerName);
    std::printf("%s\n", shownName(path).c_str());
    for (const std::string& warning : warnings) std::printf("warning: %s\n", warning.c_str());
    std::printf("title \"%s\", written with \"%s\"\n", nameForPeople(m.title, encoding).c_str(), nameForPeople(m.trackerName, encoding).c_str());
    std::printf("%d channels, %s frequencies, speed %d, %d BPM\n", m.channelCount,
                (m.flags & linearFrequencyTable) ? "linear" : "Amiga", m.defaultSpeed, m.defaultBpm);
    std::printf("song length %d, restart at %d, orders:", m.songLength, m.restartPosition);
    for (int position = 0; position < m.songLength; ++position) std::printf(" %d", m.orderTable[position]);
    std::printf("\nduration %s%s\n", minutes(duration.seconds).c_str(),
                duration.atLongest ? " or more (it has not come back to a row by then)" : "");
    std::printf("%d patterns (rows):", m.patternCount);
    for (int p = 0; p < m.patternCount; ++p) std::printf(" %d", m.patterns[p].rowCount);
    std::printf("\n%d instruments\n", m.instrumentCount);
    for (int i = 0; i < m.instrumentCount; ++i) {
        const Instrument& instrument = m.instruments[i];
        std::printf("instrument %d \"%s\": %d sample%s\n", i + 1, nameForPeople(instrument.name, encoding).c_str(),
                    instrument.sampleCount, instrument.sampleCount == 1 ? "" : "s");
        for (int slot = 0; slot < instrument.sampleCount; ++slot) {
            const Sample& s = *instrument.samples[slot];
            std::printf("  sample %d \"%s\": %u frames, ", slot, nameForPeople(s.name, encoding).c_str(), s.length);
            if (s.loopType == loopForward || s.loopType == loopPingPong)
                std::printf("%s loop %u+%u", loopName(s.loopType), s.loopStart, s.loopLength);
            else
                std::printf("no loop");
            std::printf(", volume %d, finetune %d, panning %d, relative note %d\n", s.volume, s.finetune,
                        s.panning, s.relativeNote);
        }
    }
}

template <std::size_t size>
std::string bytesOf(const char (&field)[size]) {
    return bytesAsJson(field, size - 1);
}

void printJson(const std::string& path, const Module& m, const Duration& duration,
               const std::vector<std::string>& warnings) {
    const NameEncoding encoding = nameEncodingOf(m.trackerName);
    std::printf("{\"file\":%s,\"warnings\":[", textAsJson(path).c_str());
    for (std::size_t i = 0; i < warnings.size(); ++i) std::printf("%s%s", i ? "," : "", textAsJson(warnings[i]).c_str());
    std::printf("],\"title\":%s,\"titleBytes\":%s,\"tracker\":%s,\"trackerBytes\":%s,", nameAsJson(m.title, encoding).c_str(),
                bytesOf(m.title).c_str(), nameAsJson(m.trackerName, encoding).c_str(), bytesOf(m.trackerName).c_str());
    std::printf("\"channels\":%d,\"songLength\":%d,\"restartPosition\":%d,\"patternCount\":%d,"
                "\"instrumentCount\":%d,\"linear\":%s,\"defaultSpeed\":%d,\"defaultBpm\":%d,\"duration\":%.3f,",
                m.channelCount, m.songLength, m.restartPosition, m.patternCount, m.instrumentCount,
                (m.flags & linearFrequencyTable) ? "true" : "false", m.defaultSpeed, m.defaultBpm, duration.seconds);
    std::printf("\"orders\":[");
    for (int position = 0; position < m.songLength; ++position)
        std::printf("%s%d", position ? "," : "", m.orderTable[position]);
    std::printf("],\"patternRows\":[");
    for (int p = 0; p < m.patternCount; ++p) std::printf("%s%d", p ? "," : "", m.patterns[p].rowCount);
    std::printf("],\"instruments\":[");
    for (int i = 0; i < m.instrumentCount; ++i)
        std::printf("%s{\"name\":%s,\"nameBytes\":%s,\"sampleCount\":%d}", i ? "," : "",
                    nameAsJson(m.instruments[i].name, encoding).c_str(), bytesOf(m.instruments[i].name).c_str(),
                    m.instruments[i].sampleCount);
    std::printf("],\"samples\":[");
    bool first = true;
    forEachSample(m, [&](int instrument, int slot, const Sample& s) {
        std::printf("%s{\"instrument\":%d,\"slot\":%d,\"name\":%s,\"nameBytes\":%s,\"length\":%u,\"loopStart\":%u,"
                    "\"loopLength\":%u,\"loopType\":%d,\"loop\":\"%s\",\"volume\":%d,\"finetune\":%d,"
                    "\"panning\":%d,\"relativeNote\":%d}",
                    first ? "" : ",", instrument, slot, nameAsJson(s.name, encoding).c_str(), bytesOf(s.name).c_str(),
                    s.length, s.loopStart, s.loopLength, s.loopType, loopName(s.loopType), s.volume, s.finetune,
                    s.panning, s.relativeNote);
        first = false;
    });
    std::printf("]}");
}

struct Options {
    bool json = false;
    PlaybackProfile profile = toolsDefaultProfile;
};

int run(int argc, char** argv) {
    Options options;
    const cli::Program program{
        "xminfo",
        "[OPTION]... FILE.xm...",
        "Shows what the player's loader makes of XM files: the title and the tracker that wrote it,\n"
        "channels, speed and BPM, the order list, the song's duration as the player plays it once (by\n"
        "the rules of --profile), each pattern's rows, and each instrument's name and samples with\n"
        "their name, length, loop, volume, finetune, panning and relative note.",
        {{"json", 0, nullptr, "the same facts as JSON: one object, or an array of them for several files",
          cli::flag(options.json)},
         profileOption(options.profile)},
        "A FILE of - reads standard input. Names are shown in the character set of the tracker that\n"
        "wrote the file: code page 437 for FastTracker 2's, Windows-1252 for any other. A file that\n"
        "ends early still shows what it holds, with a warning that says what is missing.\n"
        "\n"
        "Exit status: 0 when every file was shown; 1 when a file could not be read or was refused\n"
        "(the reason goes to standard error, or with --json into an object with the file's name and\n"
        "the error in its place; the other files are still shown); 2 for wrong arguments.\n",
    };
    const std::vector<std::string> paths = cli::parseOrExit(program, argc, argv);
    if (paths.empty()) cli::usageError(program, "no module file given");

    int status = cli::doneStatus;
    bool anyShown = false;
    const bool array = options.json && paths.size() > 1;
    if (array) std::printf("[");
    for (const std::string& path : paths) {
        std::string problem;
        const LoadedModule module = readModule(path, problem);
        const std::vector<std::string> warnings = module ? warningsOf(*module) : std::vector<std::string>{};
        const Duration duration = !module ? Duration{-1, false}
                                  : module->songLength == 0 ? Duration{0, false}
                                                            : durationOf(*module, options.profile);
        if (module && duration.seconds < 0) problem = shownName(path) + ": cannot be played";
        if (options.json && anyShown) std::printf(",");
        if (!problem.empty()) {
            status = cli::failureStatus;
            if (options.json) {
                // In the file's place, so that the objects still follow the files given.
                const std::string prefix = shownName(path) + ": ";
                const std::string error = problem.rfind(prefix, 0) == 0 ? problem.substr(prefix.size()) : problem;
                std::printf("{\"file\":%s,\"error\":%s}", textAsJson(path).c_str(), textAsJson(error).c_str());
                if (!array) std::printf("\n");
                anyShown = true;
            }
            std::fflush(stdout);
            std::fprintf(stderr, "xminfo: %s\n", problem.c_str());
            continue;
        }
        if (options.json) {
            printJson(path, *module, duration, warnings);
            if (!array) std::printf("\n");
        } else {
            if (anyShown) std::printf("\n");
            printSummary(path, *module, duration, warnings);
        }
        anyShown = true;
    }
    if (array) std::printf("]\n");
    if (std::fflush(stdout) != 0) {
        std::perror("xminfo: standard output");
        return cli::failureStatus;
    }
    return status;
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) { return quarbtro::run(argc, argv); }
