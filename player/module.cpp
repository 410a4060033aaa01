#include "player/module.h"

#include <cstdlib>

namespace quarbtro {

const Sample emptySample = {};
const Instrument emptyInstrument = {};

namespace {

// The module's own memory, which it holds through pointers to constant records.
void release(const void* memory) { std::free(const_cast<void*>(memory)); }

void freeInstruments(const Module* module) {
    for (std::int32_t i = 0; i < module->instrumentCount; ++i) {
        const Instrument& instrument = module->instruments[i];
        for (std::int32_t slot = 0; slot < instrument.sampleCount && slot < maxSamplesPerInstrument; ++slot) {
            const Sample* sample = instrument.samples[slot];
            if (!sample || sample == &emptySample) continue;
            std::free(sample->data);
            release(sample);
        }
    }
    std::free(module->instruments);
}

void freePatterns(const Module* module) {
    for (std::int32_t p = 0; p < module->patternCount; ++p) std::free(module->patterns[p].cells);
    std::free(module->patterns);
}

}  // namespace

std::int32_t freeModule(const Module* module) {
    if (!module) return 0;
    if (module->instruments) freeInstruments(module);
    if (module->patterns) freePatterns(module);
    release(module);
    return 1;
}

}  // namespace quarbtro
