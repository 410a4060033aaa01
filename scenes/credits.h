#pragma once
// The credits: two lines of text scrolling over blue, glowing again, from 35.0 to 40.0 seconds.
// Both lines are drawn in one matrix scope, so the second starts 0.25 x 49 units further right
// than the first (the drift each drawn character leaves).

#include "scene.h"

namespace quarbtro {

class TextLine;
struct SceneResources;

class credits : public scene {
public:
    credits(int start, int end, const SceneResources& resources);
    ~credits() override;
    void draw(Stage& stage) override;
    void enter(Stage& stage) override;
    void leave(Stage& stage) override;

    TextLine* firstLine;  // owned, over firstText
    char* firstText;      // owned copy
    TextLine* secondLine; // owned, over secondText
    char* secondText;     // owned copy
};

}  // namespace quarbtro
