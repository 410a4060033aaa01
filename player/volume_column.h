#pragma once
// The volume column: the byte beside each cell's effect. 0x10..0x50 set the channel's volume
// (0..64); from 0x60 on, the high nibble names a command (volumeCommand in module.h) and the
// low nibble x is its parameter; 0x00..0x0F and 0x51..0x5F do nothing. Every command says here,
// in one table per profile, what it does on the row tick and on the later ticks of its row.

#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/playback_profile.h"

namespace quarbtro {

// The row-tick meaning of a volume byte.
void volumeColumnRowTick(const PlaybackRules& rules, const Module& module, Channel& channel,
                         std::uint8_t volumeByte);
// Its meaning on every later tick of the row.
void volumeColumnLaterTick(const PlaybackRules& rules, const Module& module, Channel& channel,
                           std::uint8_t volumeByte);

}  // namespace quarbtro
