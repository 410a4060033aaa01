#include "tools/capture_sound.h"

#include <algorithm>

#include "player/audio_output.h"
#include "player/playback.h"
#include "player/render.h"
#include "player/xm_loader.h"

namespace quarbtro::capture {

bool renderSong(const unsigned char* song, std::int32_t size, std::int64_t first,
                std::int64_t end, std::vector<std::int16_t>& samples, std::string& error) {
    Module* module = loadModuleFromMemory(song, size);
    if (!module) {
        error = std::string("the song does not load: ") + lastLoadFailure().reason;
        return false;
    }
    configureAudioOutput(soundRate);
    if (!beginPlayback(module)) {
        freeModule(module);
        error = "the song cannot be played";
        return false;
    }
    samples.clear();
    samples.reserve(static_cast<std::size_t>(2 * (end - first)));
    // Blocks from the song's start; only the frames of the span are kept.
    for (std::int64_t blockStart = 0; blockStart < end; blockStart += audioOutput.blockFrames) {
        renderBlock();
        const std::int64_t from = std::max(first, blockStart) - blockStart;
        const std::int64_t to = std::min<std::int64_t>(end - blockStart, audioOutput.blockFrames);
        if (from < to)
            samples.insert(samples.end(), audioOutput.outputBuffer + 2 * from,
                           audioOutput.outputBuffer + 2 * to);
    }
    endPlayback();
    freeModule(module);
    return true;
}

}  // namespace quarbtro::capture
