#include "mode_choice.h"

#include <cmath>

namespace quarbtro {

int chooseMode(std::span<const ModeSize> modes, int width, int height) {
    if (modes.empty()) return -1;
    const double currentRefresh = modes[0].refresh;
    const auto pixels = [](const ModeSize& m) { return long{m.hdisplay} * m.vdisplay; };
    int chosen = -1;
    for (int i = 0; i < static_cast<int>(modes.size()); ++i) {
        const ModeSize& mode = modes[i];
        if (mode.hdisplay < width || mode.vdisplay < height) continue;
        if (chosen < 0) {
            chosen = i;
            continue;
        }
        const ModeSize& best = modes[chosen];
        const bool sameSize = mode.hdisplay == best.hdisplay && mode.vdisplay == best.vdisplay;
        if (sameSize ? std::abs(mode.refresh - currentRefresh) <
                           std::abs(best.refresh - currentRefresh)
                     : pixels(mode) < pixels(best))
            chosen = i;
    }
    return chosen;
}

}  // namespace quarbtro
