#pragma once
// Helpers for the loader tests: load bytes through the memory stream, and a small song to
// write, load and damage.

#include <cstdint>
#include <memory>
#include <vector>

#include "player/module.h"
#include "player/module_draft.h"
#include "player/stream.h"
#include "player/xm_loader.h"
#include "player/xm_writer.h"

namespace quarbtro::testing {

inline LoadedModule loadBytes(const std::vector<std::uint8_t>& bytes,
                              SampleLoadHook hook = nullptr) {
    return LoadedModule(loadModuleFromMemory(bytes.data(), std::int32_t(bytes.size()), hook));
}

// Two channels, two patterns, and two instruments: the first with a forward-looping 16-bit
// sample of 8 frames, the second with an 8-bit sample of 3 frames (stored deltas 0x10, 0x10,
// 0xF0).
inline ModuleDraft smallSong() {
    ModuleDraft draft(2);
    draft.addPattern(4);
    draft.addPattern(2);
    draft.song.songLength = 2;
    draft.song.orderTable[1] = 1;
    draft.cell(0, 0, 0) = {49, 1, 0x40, 0x0F, 3};
    draft.cell(1, 1, 1) = {noteKeyOff, 0, 0, 0, 0};
    int instrument = draft.addInstrument();
    Sample& sample = draft.addSample(instrument, {0, 1000, 2000, 3000, -3000, -2000, -1000, 0});
    sample.loopType = loopForward;
    sample.loopStart = 2;
    sample.loopLength = 4;
    Sample& eightBit = draft.addSample(draft.addInstrument(), {4096, 8192, 4096});
    eightBit.bits = 8;
    return draft;
}

}  // namespace quarbtro::testing
