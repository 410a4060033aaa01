#include "mode_choice.h"

namespace quarbtro {

int chooseMode(std::span<const ModeSize> modes) {
    int chosen = 0;
    for (int i = 1; i < static_cast<int>(modes.size()); ++i) {
        const ModeSize& best = modes[chosen];
        const ModeSize& mode = modes[i];
        if (mode.hdisplay < best.hdisplay && mode.vdisplay != 0 && mode.vdisplay < best.vdisplay)
            chosen = i;
    }
    return chosen;
}

}  // namespace quarbtro
