#include "player/module.h"

#include <cstdlib>

#include "player/playback.h"
#include "player/player.h"

namespace quarbtro {

Sample emptySample = {};
Instrument emptyInstrument = {};

namespace {

void freeInstruments(Module* module) {
    for (std::int32_t i = 0; i < module->instrumentCount; ++i) {
        Instrument& instrument = module->instruments[i];
        for (std::int32_t slot = 0; slot < instrument.sampleCount && slot < 16; ++slot) {
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
    // Nothing may render from a module while it goes: the one playing is stopped first.
    if (module->player != nullptr) {
        Player& player = *module->player;
        if (player.stopRendering != nullptr) player.stopRendering(player);
        endPlayback(player);
    }
    if (module->instruments) freeInstruments(module);
    if (module->patterns) freePatterns(module);
    std::free(module);
    return 1;
}

}  // namespace quarbtro
