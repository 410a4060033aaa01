#include "credits.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "window/display_window.h"
#include "assets/texts.h"
#include "font.h"
#include "stage.h"

namespace quarbtro {

credits::credits()
    : scene(startTime, endTime), firstLine(nullptr), firstText(strdup(creditsFirstText)),
      secondLine(nullptr), secondText(nullptr) {
    firstLine = new TextLine(font, firstText);
    secondText = strdup(creditsSecondText);
    secondLine = new TextLine(font, secondText);
}

credits::~credits() {
    delete firstLine;
    std::free(firstText);
    delete secondLine;
    std::free(secondText);
}

void credits::enter() {
    window->setClearColor(0, 0, 1.0f);
    blurEnabled = true;
}

void credits::leave() {}

void credits::draw() {
    if (inactive()) return;
    // Blue again in every drawing call: a tunnel leave() in the same frame set black.
    window->setClearColor(0, 0, 1.0f);
    glScalef(0.3f, 0.3f, 1.0f);
    const float x = -static_cast<float>(clock - start) / 7;
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
