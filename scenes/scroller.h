#pragma once
// The scroller scene: a sine scroller over pink with three objects appearing one after
// another, from 2.2 to 17.0 seconds; the first scene to glow through the radial blur. Within
// the scene (e = clock - start): the cylinder strictly between 700 and 800, the ball strictly
// between 800 and 1000, the sheet strictly between 1000 and 1300; the scroller always. Only
// the cylinder and the scroller are drawn in the blur pass, so only they glow.

#include "scene.h"

namespace quarbtro {

class Texture;
class TextLine;
struct SceneResources;

class quarbintro : public scene {
public:
    quarbintro(int start, int end, const SceneResources& resources);
    ~quarbintro() override;
    void draw(Stage& stage) override;
    void enter(Stage& stage) override;
    void leave(Stage& stage) override;

    Texture* cylinderTexture;  // owned: the first image
    TextLine* scroller;        // owned, over text
    Texture* sphereTexture;    // owned: the fourth image
    Texture* meshTexture;      // owned: the third image
    char* text;                // owned copy of the scroller text

private:
    void drawCylinder(float e);
    void drawBall(float e);
    void drawSheet(float e);
    void drawScroller(int clock, float e);
};

}  // namespace quarbtro
