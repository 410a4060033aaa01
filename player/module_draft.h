#pragma once
// A Module put together in code, with storage of its own, for the XM writer: the song
// generator and the tests add patterns, instruments and samples to it, adjust the header
// fields of `song`, and hand module() to writeXm.

#include <cstdint>
#include <deque>
#include <vector>

#include "player/module.h"

namespace quarbtro {

class ModuleDraft {
public:
    // Linear frequencies, speed 6, 125 BPM, a song length of 1 and an order table of zeros.
    explicit ModuleDraft(std::int16_t channelCount);

    Module song = {};  // header fields; the pointers and counts are filled in by module()

    int addPattern(std::int32_t rowCount);  // zero cells; returns the pattern number
    PatternCell& cell(int pattern, int row, int channel);

    int addInstrument();  // no samples, no envelopes; returns its index (number − 1)
    Instrument& instrument(int index);
    // A sample in the instrument's next slot (at most 16): the given frames, no loop, volume
    // 64, centre panning, stored as 16-bit data. sampleForNote starts with every note on slot 0.
    Sample& addSample(int instrument, std::vector<std::int16_t> frames);
    // A sample added before, to adjust.
    Sample& sample(int instrument, int slot);

    const Module& module();

private:
    std::vector<Pattern> patterns_;
    std::deque<std::vector<PatternCell>> cells_;
    std::vector<Instrument> instruments_;
    std::deque<Sample> samples_;
    std::deque<std::vector<std::int16_t>> frames_;
};

}  // namespace quarbtro
