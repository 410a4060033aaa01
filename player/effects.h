#pragma once
// The effect column: what each XM effect does on the row tick and on the later ticks of its
// row (the volume column's commands are volume_column.h's). Effect numbers are 0..9, then A = 10 up to Z = 35;
// the parameter is xy (its nibbles) or xx (the whole byte). A parameter of 0 means "the last
// non-zero one" wherever the effect has a memory.

#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/player.h"
#include "player/sequencer.h"

namespace quarbtro {

// What the row processing kept for the row-tick part of an effect.
struct RowContext {
    std::int32_t volumeBefore;   // volume, period and panning before the row (note delay)
    std::int32_t periodBefore;
    std::int32_t panningBefore;
    bool& positionJump;          // set by Bxx earlier in the row, read by Dxy
};

// The row-tick part of the cell's effect; `found` is what the channel plays.
void rowEffect(Player& player, Channel& channel, const PatternCell& cell, const SampleLookup& found,
               const Module& module, const RowContext& context);

// The later-tick part of the cell's effect.
void tickEffect(Player& player, Channel& channel, const PatternCell& cell, const SampleLookup& found,
                const Module& module);

}  // namespace quarbtro
