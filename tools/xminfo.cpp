// xminfo: what the player's loader makes of an XM file.
//   xminfo FILE.xm          a summary for people
//   xminfo --json FILE.xm   the same facts as one JSON object
// Exit status 0; 1 when the loader refuses the file (the reason goes to standard error); 2
// when the file cannot be opened or the arguments are wrong.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "player/file_stream.h"
#include "player/module.h"
#include "player/xm_loader.h"

using namespace quarbtro;

namespace {

const char* loopName(std::uint8_t loopType) {
    switch (loopType) {
        case loopForward: return "forward loop";
        case loopPingPong: return "ping-pong loop";
        default: return "no loop";
    }
}

template <typename Each>
void forEachSample(const Module& module, Each each) {
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        for (int slot = 0; slot < instrument.sampleCount; ++slot)
            each(i + 1, slot, *instrument.samples[slot]);
    }
}

void printSummary(const char* path, const Module& m) {
    std::printf("%s\n", path);
    std::printf("%d channels, %s frequencies, speed %d, %d BPM\n", m.channelCount,
                (m.flags & linearFrequencyTable) ? "linear" : "Amiga", m.defaultSpeed,
                m.defaultBpm);
    std::printf("song length %d, restart at %d, orders:", m.songLength, m.restartPosition);
    for (int position = 0; position < m.songLength; ++position) std::printf(" %d", m.orderTable[position]);
    std::printf("\n%d patterns (rows):", m.patternCount);
    for (int p = 0; p < m.patternCount; ++p) std::printf(" %d", m.patterns[p].rowCount);
    std::printf("\n%d instruments\n", m.instrumentCount);
    for (int i = 0; i < m.instrumentCount; ++i) {
        const Instrument& instrument = m.instruments[i];
        std::printf("instrument %d: %d sample%s\n", i + 1, instrument.sampleCount,
                    instrument.sampleCount == 1 ? "" : "s");
        for (int slot = 0; slot < instrument.sampleCount; ++slot) {
            const Sample& s = *instrument.samples[slot];
            std::printf("  sample %d: %u frames, %s %u+%u, volume %d, finetune %d, panning %d, "
                        "relative note %d\n",
                        slot, s.length, loopName(s.loopType), s.loopStart, s.loopLength,
                        s.volume, s.finetune, s.panning, s.relativeNote);
        }
    }
}

void printJson(const Module& m) {
    std::printf("{\"channels\":%d,\"songLength\":%d,\"restartPosition\":%d,\"patternCount\":%d,"
                "\"instrumentCount\":%d,\"linear\":%s,\"defaultSpeed\":%d,\"defaultBpm\":%d,",
                m.channelCount, m.songLength, m.restartPosition, m.patternCount,
                m.instrumentCount, (m.flags & linearFrequencyTable) ? "true" : "false",
                m.defaultSpeed, m.defaultBpm);
    std::printf("\"orders\":[");
    for (int position = 0; position < m.songLength; ++position)
        std::printf("%s%d", position ? "," : "", m.orderTable[position]);
    std::printf("],\"patternRows\":[");
    for (int p = 0; p < m.patternCount; ++p) std::printf("%s%d", p ? "," : "", m.patterns[p].rowCount);
    std::printf("],\"samples\":[");
    bool first = true;
    forEachSample(m, [&](int instrument, int slot, const Sample& s) {
        std::printf("%s{\"instrument\":%d,\"slot\":%d,\"length\":%u,\"loopStart\":%u,"
                    "\"loopLength\":%u,\"loopType\":%d,\"volume\":%d,\"finetune\":%d,"
                    "\"panning\":%d,\"relativeNote\":%d}",
                    first ? "" : ",", instrument, slot, s.length, s.loopStart, s.loopLength,
                    s.loopType, s.volume, s.finetune, s.panning, s.relativeNote);
        first = false;
    });
    std::printf("]}\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool json = argc == 3 && std::strcmp(argv[1], "--json") == 0;
    if (!(argc == 2 && argv[1][0] != '-') && !json) {
        std::fprintf(stderr, "usage: xminfo [--json] FILE.xm\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    useFileStream();
    Module* module = loadModule(path, nullptr);
    if (!module) {
        LoadFailure failure = lastLoadFailure();
        if (failure.kind == LoadFailureKind::cannotOpen) {
            std::fprintf(stderr, "xminfo: cannot open %s: %s\n", path, std::strerror(errno));
            return 2;
        }
        std::fprintf(stderr, "xminfo: %s: %s\n", path, failure.reason);
        return 1;
    }
    if (json) printJson(*module);
    else printSummary(path, *module);
    freeModule(module);
    return 0;
}
