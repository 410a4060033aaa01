#include "tools/xm/status_line.h"

#include <cstdio>

namespace quarbtro {

std::string minutesAndTenths(std::int64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(milliseconds / 60000),
                  static_cast<long long>(milliseconds / 1000 % 60), static_cast<long long>(milliseconds / 100 % 10));
    return text;
}

std::string statusLine(const StatusFacts& facts, std::size_t width) {
    std::string muted;
    for (int channel = 1; channel <= facts.channels && channel <= 32; ++channel)
        if (facts.muted >> (channel - 1) & 1) muted += (muted.empty() ? "  muted " : " ") + std::to_string(channel);
    char text[400];
    std::snprintf(text, sizeof text, "order %d/%d  row %d  %s%s%s  speed %d, %d BPM  %d/%d channels%s%s  [%d/%d] ",
                  facts.order, facts.songLength, facts.row, minutesAndTenths(facts.elapsedMs).c_str(),
                  facts.totalMs >= 0 ? " / " : "", facts.totalMs >= 0 ? minutesAndTenths(facts.totalMs).c_str() : "",
                  facts.speed, facts.bpm, facts.soundingChannels, facts.channels, muted.c_str(),
                  facts.paused ? "  paused" : "", facts.file, facts.fileCount);
    std::string line = std::string(text) + facts.title;
    // Columns are characters: cut before the first UTF-8 byte past the limit that starts one.
    const std::size_t limit = width > 0 ? width - 1 : 0;
    std::size_t columns = 0, cut = 0;
    for (; cut < line.size(); ++cut) {
        const bool starts = (static_cast<unsigned char>(line[cut]) & 0xC0) != 0x80;
        if (starts && ++columns > limit) break;
    }
    line.resize(cut);
    return line;
}

}  // namespace quarbtro
