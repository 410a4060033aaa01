#pragma once
// The tunnel scene: a rolling textured tube with a sphere-mapped ball bouncing along its floor,
// from 17.0 to 35.0 seconds. It switches the glow off for its whole span.

#include "scene.h"

namespace quarbtro {

class Texture;
struct SceneResources;

// A view-sway angle in degrees at clock t (centiseconds): t / divisor in single precision, its
// sine in double precision stored in single precision, times the amplitude.
float swayDegrees(int t, float divisor, float amplitude);

class ruzidovavire : public scene {
public:
    ruzidovavire(int start, int end, const SceneResources& resources);
    ~ruzidovavire() override;
    void draw(Stage& stage) override;
    void enter(Stage& stage) override;
    void leave(Stage& stage) override;

    Texture* wall;        // owned: the first image
    Texture& sphereMap;   // the ball's
    double elapsed;       // clock - start, refreshed by every drawing call

private:
    void drawRings();
    void drawBall();
};

}  // namespace quarbtro
