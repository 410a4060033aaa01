#include "player/song_render.h"

#include <algorithm>

#include "player/playback.h"
#include "player/render.h"
#include "player/song_length.h"

namespace quarbtro {

namespace {

// A fresh output (every voice silent) and the song at its start order.
bool startSong(SongRender& render, const Module& module, const SongRenderRequest& request) {
    configureOutput(render.player, request.rate);
    if (!beginPlayback(render.player, &module)) return false;
    if (!startAtOrder(render.player, request.startOrder)) {
        endPlayback(render.player);
        return false;
    }
    return true;
}

}  // namespace

int beginSongRender(SongRender& render, const Module& module, const SongRenderRequest& request) {
    render.module = nullptr;
    render.framesDone = 0;
    if (!startSong(render, module, request)) return 0;
    if (request.frames >= 0) {
        render.totalFrames = request.frames;
    } else {
        render.totalFrames = framesUntilRepeat(render.player, module, request.maxFrames, request.passes);
        // The walk moved the song and its voices on: start again from silence.
        if (!startSong(render, module, request)) return 0;
    }
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
