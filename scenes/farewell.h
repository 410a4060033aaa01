#pragma once
// The farewell, the end scene: at 42.5 seconds it prints the farewell line and takes the quit
// path. Draws nothing.

#include "scene.h"

namespace quarbtro {

struct SceneResources;

class endscene : public scene {
public:
    endscene(int start, int end, const SceneResources& resources);
    void draw(Stage& stage) override;
    void enter(Stage& stage) override;
    void leave(Stage& stage) override;
};

// The farewell line, written straight to descriptor 1 (not through the buffered stream).
inline constexpr char farewellLine[] = "You have been watching quarbtro by a subset of plenko\n";

}  // namespace quarbtro
