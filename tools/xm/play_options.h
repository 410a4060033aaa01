#pragma once
// What xmplay and xmrender share of their command lines, with the same names and meanings:
// where the song starts and how long it plays (--start, --start-time, --time, --loops), and
// how it sounds (--gain, --stereo, --interpolation, --mute, --solo: the player's settings).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/player.h"
#include "cli/command_line.h"

namespace quarbtro {

// A time limit ends with a fade this long (shorter for a limit under two seconds).
inline constexpr double fadeSeconds = 0.5;
inline constexpr double longestOptionSeconds = 24000;

struct PlayOptions {
    int startOrder = 0;
    double startSeconds = -1;  // --start-time; below 0: none
    double timeSeconds = -1;   // --time: at most this long; below 0: the song as it plays
    int loops = 1;             // passes of the song; 0 (xmplay only): until stopped
    double gainDb = 0;
    int stereo = 100;          // percent of the song's own stereo
    Interpolation interpolation = Interpolation::linear;
    std::uint32_t muted = 0;   // bit c set: channel c + 1 was given to --mute
    std::uint32_t soloed = 0;  // bit c set: channel c + 1 was given to --solo
};

// The options, each filling `options`; --loops takes 0 (until stopped) only where
// `loopsUntilStopped`.
std::vector<cli::Option> playOptions(PlayOptions& options, bool loopsUntilStopped);

// What is wrong with the options together, or "": --start and --start-time exclude each other.
std::string playOptionsProblem(const PlayOptions& options);

// The channels not heard: all but the soloed ones when there are any, and the muted ones.
std::uint32_t mutedChannels(const PlayOptions& options);

// Gives the player the settings: gain, interpolation, stereo separation, channels muted.
void applySettings(Player& player, const PlayOptions& options);

// A limit's fade in frames at a rate: fadeSeconds, or a quarter of a limit under 2 s.
std::int32_t fadeFramesFor(double limitSeconds, std::int32_t rate);

// "90", "1:30", "1:30.5": seconds from 0 to highest; nothing for anything else.
std::optional<double> secondsIn(const char* text, double highest);
// "2", "1,3", "5-8,12": channels from 1 to 32 as bits (channel n: bit n - 1); nothing for
// anything else.
std::optional<std::uint32_t> channelsIn(const char* text);

}  // namespace quarbtro
