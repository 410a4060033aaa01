#include "scene.h"

#include "stage.h"

namespace quarbtro {

bool scene::inactive(Stage& stage) {
    int t = stage.clock;
    if (t < start) return true;
    if (!entered) {
        entered = true;
        enter(stage);
        t = stage.clock;
    }
    if (t <= end) return false;
    if (!left) {
        left = true;
        leave(stage);
    }
    return true;
}

}  // namespace quarbtro
