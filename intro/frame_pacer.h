#pragma once
// Frames no faster than the display shows them, where the driver does not pace the buffer swaps
// itself (no swap interval: software GL, for one): a frame the display would never show only
// takes processor time from the playback thread. Plain arithmetic on the monotonic clock's
// nanoseconds, testable without a display.

#include <cstdint>

namespace quarbtro {

class FramePacer {
public:
    // framesPerSecond: the display's refresh; 0 or less paces nothing.
    explicit FramePacer(double framesPerSecond);

    // When the frame about to be drawn may start (ns, never before now): a whole period after
    // the start of the frame before. A frame that starts late moves the ones after it on, so
    // that a stall is never followed by a burst of frames.
    std::int64_t startOf(std::int64_t now);

private:
    std::int64_t period;        // ns between frame starts; 0: no pacing
    std::int64_t earliestNext;  // ns: the earliest start of the next frame
    bool first;                 // no frame has started yet
};

}  // namespace quarbtro
