#pragma once
// xmplay's status line on a terminal: where the song stands and how it plays, cut to the
// terminal's width so that it never wraps (a wrapped line cannot be rewritten in place).

#include <cstdint>
#include <string>

namespace quarbtro {

struct StatusFacts {
    int order, songLength, row;
    std::int64_t elapsedMs;
    std::int64_t totalMs;  // -1: the song plays until stopped
    int speed, bpm;
    int soundingChannels, channels;
    std::uint32_t muted;  // bit c set: channel c + 1 is muted
    bool paused;
    int file, fileCount;  // the file's number from 1, and how many there are
    std::string title;
};

// "order 3/12  row 17  0:12.3 / 0:42.4  speed 3, 224 BPM  6/8 channels  [1/2] Title", with
// "  muted 2 5" after the channels when any of the song's are, at most width − 1 columns (the
// title goes first when it does not fit).
std::string statusLine(const StatusFacts& facts, std::size_t width);

// Minutes, seconds and tenths: "1:02.3".
std::string minutesAndTenths(std::int64_t milliseconds);

}  // namespace quarbtro
