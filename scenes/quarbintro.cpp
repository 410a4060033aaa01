#include "quarbintro.h"

#include "app/display_window.h"
#include "stage.h"

namespace quarbtro {

quarbintro::quarbintro() : scene(startTime, endTime) { blurEnabled = true; }

void quarbintro::enter() { window->setClearColor(1.0f, 0.5f, 0.6f); }

void quarbintro::leave() {}

void quarbintro::draw() {
    if (inactive()) return;
}

}  // namespace quarbtro
