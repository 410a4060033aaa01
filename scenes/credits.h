#pragma once
// The credits: two lines of text scrolling over blue, glowing again, from 35.0 to 40.0 seconds.

#include "scene.h"

namespace quarbtro {

class credits : public scene {
public:
    static constexpr int startTime = 3500;
    static constexpr int endTime = 4000;

    credits();
    void draw() override;
    void enter() override;
    void leave() override;
};

}  // namespace quarbtro
