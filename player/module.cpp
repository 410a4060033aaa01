#include "player/module.h"

#include <cstdlib>

namespace quarbtro {

Sample emptySample = {};
Instrument emptyInstrument = {};

namespace {

void freeInstruments(Module* module) {
    for (std::int32_t i = 0; i < module->instrumentCount; ++i) {
        Instrument& instrument = module->instruments[i];
        for (std::int32_t slot = 0; slot < instrument.sampleCount && slot < maxSamplesPerInstrument; ++slot) {
            Sample* sample = instrument.samples[slot];
            if (!sample || sample == &emptySample) continue;
            std::free(sample->data);
            std::free(sample);
        }
    }
    std::free(module->instruments);
}

void freePatterns(Module* module) {
    for (std::int32_t p = 0; p < module->patternCount; ++p) std::free(module->patterns[p].cells);
    std::free(module->patterns);
}

}  // namespace

std::int32_t freeModule(Module* module) {
    if (!module) return 0;
    if (module->instruments) freeInstruments(module);
    if (module->patterns) freePatterns(module);
    std::free(module);
    return 1;
}

}  // namespace quarbtro
