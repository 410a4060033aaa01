#include "tools/capture/capture_timing.h"

#include <cctype>
#include <numeric>

namespace quarbtro::capture {

namespace {

constexpr std::int64_t largestTerm = 1'000'000'000;  // keeps every product below 2^63

// Digits only, at most nine of them.
std::optional<std::int64_t> parseCount(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::int64_t ceilDivide(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }  // a, b >= 0

}  // namespace

std::optional<FrameRate> parseFrameRate(const std::string& text) {
    std::optional<std::int64_t> frames, seconds;
    if (const auto slash = text.find('/'); slash != std::string::npos) {
        frames = parseCount(text.substr(0, slash));
        seconds = parseCount(text.substr(slash + 1));
    } else if (const auto point = text.find('.'); point != std::string::npos) {
        const std::string fraction = text.substr(point + 1);
        frames = parseCount(text.substr(0, point) + fraction);
        seconds = 1;
        for (std::size_t i = 0; i < fraction.size(); ++i) *seconds *= 10;
        if (fraction.empty()) frames.reset();
    } else {
        frames = parseCount(text);
        seconds = 1;
    }
    if (!frames || !seconds || *seconds == 0 || *frames == 0 || *frames > largestTerm ||
        *seconds > largestTerm)
        return std::nullopt;
    // 1 to 1000 frames a second.
    if (*frames < *seconds || *frames > 1000 * *seconds) return std::nullopt;
    const std::int64_t common = std::gcd(*frames, *seconds);
    return FrameRate{*frames / common, *seconds / common};
}

std::string toString(FrameRate rate) {
    std::string text = std::to_string(rate.frames);
    if (rate.seconds != 1) text += "/" + std::to_string(rate.seconds);
    return text;
}

double framesPerSecond(FrameRate rate) { return double(rate.frames) / double(rate.seconds); }

int clockOfFrame(std::int64_t frame, FrameRate rate) {
    return static_cast<int>(frame * 100 * rate.seconds / rate.frames);
}

std::int64_t firstFrameAt(int clock, FrameRate rate) {
    return ceilDivide(std::int64_t{clock} * rate.frames, 100 * rate.seconds);
}

std::int64_t soundFrameAt(std::int64_t frame, FrameRate rate, std::int32_t soundRate) {
    // Rounded to the nearest: floor((2 n r s + f) / 2 f).
    return (2 * frame * soundRate * rate.seconds + rate.frames) / (2 * rate.frames);
}

CaptureSpan captureSpan(int from, int to, FrameRate rate, std::int32_t soundRate) {
    CaptureSpan span;
    span.firstFrame = firstFrameAt(from, rate);
    span.endFrame = firstFrameAt(to, rate);
    span.firstSoundFrame = soundFrameAt(span.firstFrame, rate, soundRate);
    span.endSoundFrame = soundFrameAt(span.endFrame, rate, soundRate);
    return span;
}

}  // namespace quarbtro::capture
