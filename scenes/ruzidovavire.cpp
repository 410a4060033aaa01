#include "ruzidovavire.h"

#include "app/display_window.h"
#include "stage.h"

namespace quarbtro {

ruzidovavire::ruzidovavire() : scene(startTime, endTime) {}

void ruzidovavire::enter() {
    window->setClearColor(0.3f, 0.1f, 0.0f);
    blurEnabled = false;
}

void ruzidovavire::leave() { window->setClearColor(0, 0, 0); }

void ruzidovavire::draw() {
    if (inactive()) return;
}

}  // namespace quarbtro
