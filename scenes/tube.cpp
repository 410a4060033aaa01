#include "tube.h"

#include <cmath>

namespace quarbtro {

std::vector<float> runningAngles() {
    std::vector<float> angles;
    for (float a = 0.0f; a < 6.383185307179586; a = static_cast<float>(a + 0.1))
        angles.push_back(a);
    return angles;
}

const std::vector<RingStep>& ringSteps() {
    static const std::vector<RingStep> steps = [] {
        std::vector<RingStep> result;
        for (float a : runningAngles())
            // The sine and cosine of the widened angle, rounded to single precision.
            result.push_back({a, static_cast<float>(std::sin(static_cast<double>(a))),
                              static_cast<float>(std::cos(static_cast<double>(a))),
                              static_cast<float>(a / 6.283185307179586)});
        return result;
    }();
    return steps;
}

}  // namespace quarbtro
