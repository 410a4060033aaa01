#pragma once
// The ring of a tube, shared by the tunnel's walls and the intro's cylinder. Both walk a
// running angle a from 0 in steps of 0.1, each step rounded to single precision, while
// a < 2 pi + 0.1: 64 steps (a = 0, 0.1, ... 6.3), so the last quad overlaps the first a little.

#include <vector>

namespace quarbtro {

struct RingStep {
    float angle;   // a, radians
    float sine;    // sin a
    float cosine;  // cos a
    float s;       // a / 2 pi: the texture goes once around
};

// The running angle's values, in order.
std::vector<float> runningAngles();
// The steps with their sines and texture coordinate, computed once.
const std::vector<RingStep>& ringSteps();

}  // namespace quarbtro
