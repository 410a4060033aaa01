#include "credits.h"

#include "app/display_window.h"
#include "stage.h"

namespace quarbtro {

credits::credits() : scene(startTime, endTime) {}

void credits::enter() {
    window->setClearColor(0, 0, 1.0f);
    blurEnabled = true;
}

void credits::leave() {}

void credits::draw() {
    if (inactive()) return;
    // Blue again in every drawing call: a tunnel leave() in the same frame set black.
    window->setClearColor(0, 0, 1.0f);
}

}  // namespace quarbtro
