#pragma once
// The arithmetic of the playback clock (PlaybackClock): centiseconds of audio heard from the
// bytes handed to the device and the bytes it still holds.

#include <cstdint>

#include "player/extended_precision.h"

namespace quarbtro {

// 44,100 frames of 4 bytes per second; fixed, whatever the output rate.
inline constexpr long double heardBytesPerSecond = 176400.0L;

// (written - queued) as an unsigned 32-bit difference, divided by the byte rate and then
// multiplied by 100 in extended precision, truncated. The order matters: 185,220 bytes give
// 104, because 1.05 is not exact and the product falls just below 105.
int playbackClockFromBytes(std::uint32_t bytesWritten, int queuedBytes);

}  // namespace quarbtro
