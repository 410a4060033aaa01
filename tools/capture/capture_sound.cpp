#include "tools/capture/capture_sound.h"

#include <algorithm>

#include <memory>

#include "player/song_render.h"
#include "player/xm_loader.h"

namespace quarbtro::capture {

bool renderSong(const unsigned char* song, std::int32_t size, std::int64_t first,
                std::int64_t end, std::vector<std::int16_t>& samples, std::string& error) {
    const LoadedModule module(loadModuleFromMemory(song, size));
    if (!module) {
        error = std::string("the song does not load: ") + lastLoadFailure().reason;
        return false;
    }
    SongRenderRequest request;
    request.rate = soundRate;
    request.frames = end;
    auto render = std::make_unique<SongRender>();
    if (!beginSongRender(*render, *module, request)) {
        error = "the song cannot be played";
        return false;
    }
    samples.clear();
    samples.reserve(static_cast<std::size_t>(2 * (end - first)));
    // Blocks from the song's start; only the frames of the span are kept.
    for (std::int64_t blockStart = 0; const int count = renderSongBlock(*render); blockStart += count) {
        const std::int64_t from = std::max(first, blockStart) - blockStart;
        if (from < count)
            samples.insert(samples.end(), render->player.outputBuffer + 2 * from,
                           render->player.outputBuffer + 2 * count);
    }
    endSongRender(*render);
    return true;
}

}  // namespace quarbtro::capture
