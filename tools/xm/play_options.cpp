#include "tools/xm/play_options.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace quarbtro {

namespace {

cli::Taker timeTaker(double& target) {
    return [&target](const char* value) {
        const auto seconds = secondsIn(value, longestOptionSeconds);
        if (!seconds) return std::string("takes seconds or minutes and seconds (90, 1:30) up to 6:40:00");
        target = *seconds;
        return std::string();
    };
}

cli::Taker channelTaker(std::uint32_t& target) {
    return [&target](const char* value) {
        const auto channels = channelsIn(value);
        if (!channels) return std::string("takes channels from 1 to 32, as 2 or 1,3 or 5-8");
        target |= *channels;
        return std::string();
    };
}

}  // namespace

std::vector<cli::Option> playOptions(PlayOptions& options, bool loopsUntilStopped) {
    const cli::Taker takeInterpolation = [&options](const char* value) {
        const std::string name = value;
        if (name == "none") options.interpolation = Interpolation::none;
        else if (name == "linear") options.interpolation = Interpolation::linear;
        else if (name == "cubic") options.interpolation = Interpolation::cubic;
        else if (name == "sinc") options.interpolation = Interpolation::sinc;
        else return std::string("takes none, linear, cubic or sinc");
        return std::string();
    };
    return {
        {"start", 's', "ORDER", "start at this order position and play to the song's end (default 0)",
         cli::integer(options.startOrder, 0, 255, "an order position")},
        {"start-time", 0, "TIME", "start this far into the song (seconds, or M:SS)", timeTaker(options.startSeconds),
         "--seek"},
        {"time", 't', "TIME", "stop after this long (seconds, or M:SS), with a short fade", timeTaker(options.timeSeconds),
         "--end-time"},
        {"loops", 'l', "N",
         loopsUntilStopped ? "play the song N times, the first from the start; 0 until stopped (default 1)"
                           : "play the song N times, the first from the start (default 1)",
         cli::integer(options.loops, loopsUntilStopped ? 0 : 1, 100)},
        {"gain", 'g', "DB", "amplify by DB decibels, -60 to 24 (default 0)", cli::number(options.gainDb, -60, 24, "decibels"),
         "--amplify -a"},
        {"stereo", 0, "PERCENT", "stereo separation: 0 mono ... 100 the song's own panning (default 100)",
         cli::integer(options.stereo, 0, 100, "a percentage"), "--pan -P"},
        {"interpolation", 'i', "KIND",
         "none, linear (the song as FastTracker 2 plays it: the default), cubic, or sinc (band-limited)",
         takeInterpolation, "--filter"},
        {"mute", 'M', "CHANNELS", "channels not to hear, from 1: 2 or 1,3 or 5-8", channelTaker(options.muted)},
        {"solo", 'S', "CHANNELS", "the only channels to hear, from 1", channelTaker(options.soloed)},
    };
}

std::string playOptionsProblem(const PlayOptions& options) {
    if (options.startOrder != 0 && options.startSeconds >= 0) return "--start and --start-time exclude each other";
    return "";
}

std::uint32_t mutedChannels(const PlayOptions& options) {
    return (options.soloed != 0 ? ~options.soloed : 0u) | options.muted;
}

void applySettings(Player& player, const PlayOptions& options) {
    player.gain = static_cast<float>(std::pow(10.0, options.gainDb / 20));
    player.interpolation = options.interpolation;
    player.stereoSeparation = options.stereo;
    player.mutedChannels.store(mutedChannels(options));
}

std::int32_t fadeFramesFor(double limitSeconds, std::int32_t rate) {
    return static_cast<std::int32_t>(std::lround(std::min(fadeSeconds, limitSeconds / 4) * rate));
}

std::optional<double> secondsIn(const char* text, double highest) {
    const char* colon = std::strchr(text, ':');
    if (!colon) return cli::numberIn(text, 0, highest);
    const std::string minutesText(text, colon);
    const auto minutes = cli::integerIn(minutesText.c_str(), 0, static_cast<long long>(highest / 60));
    // The seconds after the colon: two digits, a fraction allowed.
    const char* secondsText = colon + 1;
    if (!minutes || minutesText[0] == '+' || minutesText[0] == '-' || std::strspn(secondsText, "0123456789") != 2)
        return std::nullopt;
    const auto seconds = cli::numberIn(secondsText, 0, 59.999999);
    if (!seconds) return std::nullopt;
    const double total = static_cast<double>(*minutes) * 60 + *seconds;
    if (total > highest) return std::nullopt;
    return total;
}

std::optional<std::uint32_t> channelsIn(const char* text) {
    std::uint32_t channels = 0;
    const std::string list = text;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        const auto first = cli::integerIn(item.substr(0, dash).c_str(), 1, 32);
        const auto last = dash == std::string::npos ? first : cli::integerIn(item.substr(dash + 1).c_str(), 1, 32);
        if (!first || !last || *last < *first || item[0] == '+') return std::nullopt;
        for (long long channel = *first; channel <= *last; ++channel) channels |= 1u << (channel - 1);
        start = comma + 1;
    }
    return channels;
}

}  // namespace quarbtro
