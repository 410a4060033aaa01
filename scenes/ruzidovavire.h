#pragma once
// The tunnel: a rolling textured tube with a sphere-mapped ball bouncing along its floor,
// from 17.0 to 35.0 seconds. It switches the glow off for its whole span.

#include "scene.h"

namespace quarbtro {

class ruzidovavire : public scene {
public:
    static constexpr int startTime = 1700;
    static constexpr int endTime = 3500;

    ruzidovavire();
    void draw() override;
    void enter() override;
    void leave() override;
};

}  // namespace quarbtro
