#include "tools/wav_writer.h"

namespace quarbtro {

namespace {

void putLittleEndian(std::vector<unsigned char>& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> wavHeader(std::int64_t frames, std::int32_t rate) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::vector<unsigned char> header;
    header.reserve(44);
    auto tag = [&](const char* text) { header.insert(header.end(), text, text + 4); };
    tag("RIFF");
    putLittleEndian(header, 36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    putLittleEndian(header, 16, 4);
    putLittleEndian(header, 1, 2);         // PCM
    putLittleEndian(header, 2, 2);         // stereo
    putLittleEndian(header, rate, 4);
    putLittleEndian(header, rate * 4, 4);  // bytes per second
    putLittleEndian(header, 4, 2);         // bytes per frame
    putLittleEndian(header, 16, 2);        // bits per sample
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
