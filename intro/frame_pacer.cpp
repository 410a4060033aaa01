#include "frame_pacer.h"

#include <algorithm>
#include <cmath>

namespace quarbtro {

FramePacer::FramePacer(double framesPerSecond)
    : period(framesPerSecond > 0 ? std::llround(1e9 / framesPerSecond) : 0),
      earliestNext(0),
      first(true) {}

std::int64_t FramePacer::startOf(std::int64_t now) {
    const std::int64_t start = first ? now : std::max(now, earliestNext);
    first = false;
    earliestNext = start + period;
    return start;
}

}  // namespace quarbtro
