#include "scene.h"

#include "stage.h"

namespace quarbtro {

bool scene::inactive() {
    int t = clock;
    if (t < start) return true;
    if (!entered) {
        entered = true;
        enter();
        t = clock;
    }
    if (t <= end) return false;
    if (!left) {
        left = true;
        leave();
    }
    return true;
}

}  // namespace quarbtro
