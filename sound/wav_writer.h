#pragma once
// The bytes of stereo sound as the tools write it: WAV headers and little-endian samples,
// whatever the machine's byte order.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarbtro {

// What a WAV file's frames hold: two 16-bit PCM samples, or two 32-bit floats (full scale
// ±1.0).
enum class WavSamples : std::uint8_t { pcm16, float32 };

// The header of a WAV file holding `frames` stereo frames at `rate` Hz: 44 bytes for 16-bit
// PCM; 58 for floats, which as a format other than PCM take the 18-byte format chunk and a
// fact chunk (the frame count). The sizes are 32-bit: at most about 6.7 hours of 16-bit sound
// at 44,100 Hz.
std::vector<unsigned char> wavHeader(std::int64_t frames, std::int32_t rate,
                                     WavSamples samples = WavSamples::pcm16);

// Appends the `count` low bytes of value, low byte first.
void putLittleEndian(std::vector<unsigned char>& bytes, std::uint32_t value, int count);

// Appends `count` samples, two bytes each, low byte first.
void appendLittleEndian(std::vector<unsigned char>& bytes, const std::int16_t* samples,
                        std::size_t count);

}  // namespace quarbtro
