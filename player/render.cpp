#include "player/render.h"

#include <cstring>

#include "player/audio_output.h"
#include "player/extended_precision.h"
#include "player/mixer.h"

namespace quarbtro {

void renderBlock() {
    Module& module = *audioOutput.currentModule;
    const int blockFrames = audioOutput.blockFrames;
    std::memset(audioOutput.mixBuffer, 0, sizeof(float) * 2 * static_cast<std::size_t>(blockFrames));
    int done = 0;
    int left = module.samplesLeftInTick;
    float* cursor = audioOutput.mixBuffer;
    while (done < blockFrames) {
        if (left == 0) {
            if (module.onTick != nullptr) module.onTick(&module);
            left = module.samplesPerTick;  // read after the tick: a tempo change counts at once
        }
        const int n = left < blockFrames - done ? left : blockFrames - done;
        done += n;
        left -= n;
        mixVoices(cursor, n);
        cursor += 2 * n;
        // The played time truncates every segment from a single-precision 1 / rate, so it runs
        // a little slow (19 ms for each 882-frame tick at 44,100 Hz).
        module.playedMs += static_cast<std::int32_t>(n * static_cast<long double>(audioOutput.invRate) * 1000);
    }
    audioOutput.publishedPlayedMs.store(module.playedMs, std::memory_order_relaxed);
    audioOutput.publishedRow.store(static_cast<std::uint8_t>(module.row), std::memory_order_relaxed);
    audioOutput.publishedOrderPosition.store(static_cast<std::uint8_t>(module.orderPosition),
                                             std::memory_order_relaxed);
    module.samplesLeftInTick = left;
    convertToS16(audioOutput.outputBuffer, audioOutput.mixBuffer, blockFrames);
}

}  // namespace quarbtro
