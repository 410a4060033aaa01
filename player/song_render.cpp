#include "player/song_render.h"

#include <algorithm>

#include "player/playback.h"
#include "player/render.h"
#include "player/song_length.h"

namespace quarbtro {

int beginSongRender(SongRender& render, const Module& module, const SongRenderRequest& request) {
    render.module = nullptr;
    render.framesDone = 0;
    render.totalFrames =
        request.frames >= 0 ? request.frames
                            : songFrames(module, request.rate, request.startOrder, request.passes, request.profile);
    if (render.totalFrames < 0) return 0;
    configureOutput(render.player, request.rate);  // a fresh output: every voice silent
    usePlaybackProfile(render.player, request.profile);
    if (!beginPlayback(render.player, &module, request.startOrder)) return 0;
    render.module = &module;
    return 1;
}

int renderSongBlock(SongRender& render) {
    if (render.module == nullptr || render.framesDone >= render.totalFrames) return 0;
    renderBlock(render.player);
    const std::int64_t frames = std::min<std::int64_t>(render.player.blockFrames, render.totalFrames - render.framesDone);
    render.framesDone += frames;
    return static_cast<int>(frames);
}

void endSongRender(SongRender& render) {
    if (render.module != nullptr) endPlayback(render.player);
    render.module = nullptr;
}

}  // namespace quarbtro
