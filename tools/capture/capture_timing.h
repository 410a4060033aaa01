#pragma once
// The capture's time arithmetic, exact in integers. A capture shows the intro at a fixed frame
// rate: frame n lies at n / rate seconds and shows the clock the intro would read there,
// floor(n x 100 / rate) centiseconds of audio heard. The sound is the song from its start,
// cut at the sound frame nearest to each end of the captured frames.

#include <cstdint>
#include <optional>
#include <string>

namespace quarbtro::capture {

// Frames per second as a reduced fraction, e.g. 60/1 or 60000/1001.
struct FrameRate {
    std::int64_t frames;
    std::int64_t seconds;
};

// "60", "60000/1001" or "29.97"; nothing for any other text or for a rate outside 1..1000.
std::optional<FrameRate> parseFrameRate(const std::string& text);
// The rate as ffmpeg takes it: "60", "60000/1001".
std::string toString(FrameRate rate);
double framesPerSecond(FrameRate rate);

// The clock (centiseconds) that frame n shows: floor(n x 100 / rate).
int clockOfFrame(std::int64_t frame, FrameRate rate);
// The first frame whose time is at or after a clock value: ceil(clock x rate / 100). It is
// also the first frame that shows that clock or a later one.
std::int64_t firstFrameAt(int clock, FrameRate rate);
// Where frame n begins in a sound of soundRate frames a second, to the nearest sound frame.
std::int64_t soundFrameAt(std::int64_t frame, FrameRate rate, std::int32_t soundRate);

// What a capture of the clocks [from, to) holds: the frames [firstFrame, endFrame) and the
// sound frames [firstSoundFrame, endSoundFrame).
struct CaptureSpan {
    std::int64_t firstFrame, endFrame;
    std::int64_t firstSoundFrame, endSoundFrame;
    std::int64_t frameCount() const { return endFrame - firstFrame; }
    std::int64_t soundFrameCount() const { return endSoundFrame - firstSoundFrame; }
};
CaptureSpan captureSpan(int from, int to, FrameRate rate, std::int32_t soundRate);

}  // namespace quarbtro::capture
