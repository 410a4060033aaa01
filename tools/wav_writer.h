#pragma once
// The bytes of 16-bit stereo PCM sound as the tools write it: WAV headers and little-endian
// samples, whatever the machine's byte order.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarbtro {

// The 44-byte header of a WAV file holding `frames` frames of 16-bit stereo PCM at `rate` Hz.
// The sizes are 32-bit: at most about 6.7 hours at 44,100 Hz.
std::vector<unsigned char> wavHeader(std::int64_t frames, std::int32_t rate);

// Appends `count` samples, two bytes each, low byte first.
void appendLittleEndian(std::vector<unsigned char>& bytes, const std::int16_t* samples,
                        std::size_t count);

}  // namespace quarbtro
