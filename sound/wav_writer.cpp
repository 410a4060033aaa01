#include "sound/wav_writer.h"

namespace quarbtro {

namespace {

constexpr std::uint32_t pcmFormat = 1;        // WAVE_FORMAT_PCM
constexpr std::uint32_t ieeeFloatFormat = 3;  // WAVE_FORMAT_IEEE_FLOAT

}  // namespace

void putLittleEndian(std::vector<unsigned char>& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> wavHeader(std::int64_t frames, std::int32_t rate, WavSamples samples) {
    const bool pcm = samples == WavSamples::pcm16;
    const std::uint32_t frameBytes = pcm ? 4 : 8;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * frameBytes);
    const std::uint32_t formatBytes = pcm ? 16 : 18;
    const std::uint32_t factBytes = pcm ? 0 : 8 + 4;
    std::vector<unsigned char> header;
    header.reserve(58);
    auto tag = [&](const char* text) { header.insert(header.end(), text, text + 4); };
    tag("RIFF");
    putLittleEndian(header, 4 + (8 + formatBytes) + factBytes + 8 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    putLittleEndian(header, formatBytes, 4);
    putLittleEndian(header, pcm ? pcmFormat : ieeeFloatFormat, 2);
    putLittleEndian(header, 2, 2);  // stereo
    putLittleEndian(header, static_cast<std::uint32_t>(rate), 4);
    putLittleEndian(header, static_cast<std::uint32_t>(rate) * frameBytes, 4);  // bytes per second
    putLittleEndian(header, frameBytes, 2);
    putLittleEndian(header, pcm ? 16 : 32, 2);  // bits per sample
    if (!pcm) {
        putLittleEndian(header, 0, 2);  // no extension
        tag("fact");
        putLittleEndian(header, 4, 4);
        putLittleEndian(header, static_cast<std::uint32_t>(frames), 4);
    }
    tag("data");
    putLittleEndian(header, dataBytes, 4);
    return header;
}

void appendLittleEndian(std::vector<unsigned char>& bytes, const std::int16_t* samples,
                        std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        putLittleEndian(bytes, static_cast<std::uint16_t>(samples[i]), 2);
}

}  // namespace quarbtro
