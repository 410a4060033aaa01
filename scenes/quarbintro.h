#pragma once
// The intro: a sine scroller over pink with three objects appearing one after another, from
// 2.2 to 17.0 seconds; the first scene to glow through the radial blur.

#include "scene.h"

namespace quarbtro {

class quarbintro : public scene {
public:
    static constexpr int startTime = 220;
    static constexpr int endTime = 1700;

    quarbintro();
    void draw() override;
    void enter() override;
    void leave() override;
};

}  // namespace quarbtro
