#pragma once
// What every loaded Module must satisfy for the sequencer and the mixer to stay inside its
// arrays, checked from outside the loader: the fuzz target aborts on a broken one, and the
// tests over real files report it.

#include <cstdint>
#include <string>

#include "player/module.h"

namespace quarbtro::testing {

inline std::string brokenInvariant(const Module& m) {
    auto broken = [](const std::string& what) { return what; };
    if (m.channelCount < 1 || m.channelCount > 32) return broken("channel count");
    if (m.songLength < 0 || m.songLength > 256) return broken("song length");
    if (m.restartPosition < 0 || (m.songLength > 0 && m.restartPosition >= m.songLength) ||
        (m.songLength == 0 && m.restartPosition != 0))
        return broken("restart position");
    if (!m.patterns || m.patternCount < 1 || m.patternCount > 256) return broken("pattern count");
    for (int position = 0; position < (m.songLength > 0 ? m.songLength : 1); ++position) {
        if (m.orderTable[position] >= m.patternCount)
            return broken("order position " + std::to_string(position) + " has no pattern");
    }
    for (int p = 0; p < m.patternCount; ++p) {
        if (m.patterns[p].rowCount < 1 || m.patterns[p].rowCount > 256 || !m.patterns[p].cells)
            return broken("pattern " + std::to_string(p));
    }
    if (m.instrumentCount < 0 || m.instrumentCount > 128 || (m.instrumentCount && !m.instruments))
        return broken("instrument count");
    for (int i = 0; i < m.instrumentCount; ++i) {
        const Instrument& ins = m.instruments[i];
        std::string name = "instrument " + std::to_string(i + 1) + ": ";
        if (ins.sampleCount < 0 || ins.sampleCount > 16) return broken(name + "sample count");
        for (int s = 0; s < 16; ++s) {
            if (!ins.samples[s] || (s >= ins.sampleCount && ins.samples[s] != &emptySample))
                return broken(name + "slot " + std::to_string(s));
        }
        for (std::uint8_t count : {ins.volumePointCount, ins.panningPointCount}) {
            if (count > 12) return broken(name + "envelope points");
        }
        auto indexOk = [](std::uint8_t index, std::uint8_t count) {
            return index < (count ? count : 1);
        };
        if (!indexOk(ins.volumeSustainPoint, ins.volumePointCount) ||
            !indexOk(ins.volumeLoopStart, ins.volumePointCount) ||
            !indexOk(ins.volumeLoopEnd, ins.volumePointCount) ||
            !indexOk(ins.panningSustainPoint, ins.panningPointCount) ||
            !indexOk(ins.panningLoopStart, ins.panningPointCount) ||
            !indexOk(ins.panningLoopEnd, ins.panningPointCount))
            return broken(name + "envelope index");
        for (int s = 0; s < ins.sampleCount; ++s) {
            const Sample& sample = *ins.samples[s];
            std::string sname = name + "sample " + std::to_string(s) + ": ";
            if (sample.bits != 16) return broken(sname + "bits");
            if (sample.loopType != loopNone && sample.loopType != loopForward &&
                sample.loopType != loopPingPong)
                return broken(sname + "loop type");
            if (sample.length == 0) {
                if (sample.data) return broken(sname + "data of an empty sample");
                continue;
            }
            if (!sample.data) return broken(sname + "no data");
            if (sample.loopLength < 1 || sample.loopStart > sample.length ||
                sample.loopLength > sample.length - sample.loopStart)
                return broken(sname + "loop outside the sample");
            if (sample.loopType == loopNone &&
                (sample.loopStart != 0 || sample.loopLength != sample.length))
                return broken(sname + "loop of a sample that does not loop");
            if (sample.volume > 64) return broken(sname + "volume");
            for (std::uint32_t k = sample.length + 1; k < sample.length + 8; ++k) {
                if (sample.data[k] != 0) return broken(sname + "padding");
            }
        }
    }
    if (m.defaultSpeed < 1 || m.defaultBpm < 1) return broken("tempo");
    return {};
}

}  // namespace quarbtro::testing
