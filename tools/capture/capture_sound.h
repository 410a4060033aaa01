#pragma once
// The capture's sound: a song rendered offline from its start by the player's own block
// renderer at the intro's rate, exactly as the playback thread would render it, with no device.

#include <cstdint>
#include <string>
#include <vector>

#include "player/player.h"

namespace quarbtro::capture {

inline constexpr std::int32_t soundRate = defaultOutputRate;

// The sound frames [first, end) of the XM song held in `song`, as interleaved 16-bit stereo
// samples (left first). False, with the reason in `error`, when the song cannot be loaded or
// played.
bool renderSong(const unsigned char* song, std::int32_t size, std::int64_t first,
                std::int64_t end, std::vector<std::int16_t>& samples, std::string& error);

}  // namespace quarbtro::capture
