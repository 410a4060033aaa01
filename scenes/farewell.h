#pragma once
// The farewell, the end scene: at 42.5 seconds it prints the farewell line and takes the quit
// path. Draws nothing.

#include "scene.h"

namespace quarbtro {

class endscene : public scene {
public:
    static constexpr int startTime = 4250;
    static constexpr int endTime = 6000;  // never reached: enter() quits

    endscene();
    void draw() override;
    void enter() override;
    void leave() override;
};

// The farewell line, written straight to descriptor 1 (not through the buffered stream).
inline constexpr char farewellLine[] = "You have been watching quarbtro by a subset of plenko\n";

}  // namespace quarbtro
