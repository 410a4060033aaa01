#include "credits.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "assets/texts.h"
#include "font.h"
#include "stage.h"
#include "time_line.h"

namespace quarbtro {

credits::credits(int start, int end, const SceneResources& resources)
    : scene(start, end), firstLine(nullptr), firstText(strdup(creditsFirstText)),
      secondLine(nullptr), secondText(nullptr) {
    firstLine = new TextLine(&resources.font, firstText);
    secondText = strdup(creditsSecondText);
    secondLine = new TextLine(&resources.font, secondText);
}

credits::~credits() {
    delete firstLine;
    std::free(firstText);
    delete secondLine;
    std::free(secondText);
}

void credits::enter(Stage& stage) {
    stage.setClearColor(0, 0, 1.0f);
    stage.blurEnabled = true;
}

void credits::leave(Stage&) {}

void credits::draw(Stage& stage) {
    if (inactive(stage)) return;
    // Blue again in every drawing call: a tunnel leave() in the same frame set black.
    stage.setClearColor(0, 0, 1.0f);
    glScalef(0.3f, 0.3f, 1.0f);
    const float x = -static_cast<float>(stage.clock - start) / 7;
    firstLine->x = x;
    firstLine->y = 1.0f;
    firstLine->z = -2.0f;
    secondLine->x = x;
    secondLine->y = -2.0f;
    secondLine->z = -2.0f;
    firstLine->draw();
    secondLine->draw();
}

}  // namespace quarbtro
