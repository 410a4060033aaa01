// Writes the fuzzer's seed corpus: small XM files that reach every part of the loader (packed
// and plain cells, empty and added patterns, 8- and 16-bit samples, each loop type,
// envelopes, extra header bytes).
//   xm-seeds DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "player/module_draft.h"
#include "player/xm_writer.h"

using namespace quarbtro;

namespace {

ModuleDraft seedSong(std::uint8_t loopType, std::uint8_t bits) {
    ModuleDraft draft(4);
    draft.addPattern(8);
    draft.addPattern(0);
    draft.song.songLength = 3;
    draft.song.orderTable[1] = 1;
    draft.song.orderTable[2] = 3;
    draft.song.restartPosition = 1;
    draft.cell(0, 0, 0) = {49, 1, 0x40, 0x0C, 0x20};
    draft.cell(0, 1, 1) = {97, 0, 0, 0, 0};
    draft.cell(0, 2, 2) = {13, 2, 0, 0x0E, 0x62};
    draft.cell(0, 7, 3) = {0, 0, 0x1F, 0x0F, 0x03};
    int first = draft.addInstrument();
    Instrument& instrument = draft.instrument(first);
    instrument.volumePointCount = 3;
    instrument.volumeEnvelope[1] = {10, 64};
    instrument.volumeEnvelope[2] = {20, 0};
    instrument.volumeSustainPoint = 1;
    instrument.volumeLoopEnd = 2;
    instrument.volumeEnvelopeFlags = envelopeOn | envelopeSustain | envelopeLoop;
    instrument.volumeFadeout = 256;
    std::vector<std::int16_t> frames;
    for (int k = 0; k < 24; ++k) frames.push_back(std::int16_t((k % 6) * 4000 - 10000));
    Sample& sample = draft.addSample(first, frames);
    sample.bits = bits;
    sample.loopType = loopType;
    if (loopType != loopNone) {
        sample.loopStart = 4;
        sample.loopLength = 16;
    }
    draft.addSample(first, {100, -100, 100});
    draft.instrument(first).sampleForNote[40] = 1;
    draft.addInstrument();
    return draft;
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm-seeds DIRECTORY\n");
        return 2;
    }
    std::string directory = argv[1];
    struct Seed {
        const char* name;
        std::uint8_t loopType, bits;
        XmWriteOptions options;
    };
    XmWriteOptions plain, extraHeader, sparse;
    plain.packCells = false;
    extraHeader.headerSize = 300;
    sparse.omitEmptyPatternData = true;
    const Seed seeds[] = {
        {"forward16.xm", loopForward, 16, {}},
        {"pingpong8.xm", loopPingPong, 8, {}},
        {"noloop16-plain.xm", loopNone, 16, plain},
        {"forward8-header300.xm", loopForward, 8, extraHeader},
        {"pingpong16-sparse.xm", loopPingPong, 16, sparse},
    };
    for (const Seed& seed : seeds) {
        ModuleDraft draft = seedSong(seed.loopType, seed.bits);
        if (!save(directory + "/" + seed.name, writeXm(draft.module(), seed.options))) {
            std::perror(seed.name);
            return 1;
        }
    }
    return 0;
}
