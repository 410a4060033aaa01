#include "player/song_render.h"

#include <algorithm>
#include <cstring>

#include "player/playback.h"
#include "player/render.h"
#include "player/song_length.h"

namespace quarbtro {

int beginSongRender(SongRender& render, const Module& module, const SongRenderRequest& request,
                    const std::function<void(Player&)>& settle) {
    render.module = nullptr;
    render.framesDone = 0;
    render.dropFrames = 0;
    if (request.frames >= 0) {
        render.totalFrames = request.frames;
    } else {
        const std::int64_t song = songFrames(module, request.rate, request.startOrder, request.passes, request.profile);
        if (song < 0 || (request.skipFrames > 0 && request.skipFrames >= song)) return 0;
        render.totalFrames = song - request.skipFrames;
    }
    configureOutput(render.player, request.rate);  // a fresh output: every voice silent
    usePlaybackProfile(render.player, request.profile);
    if (settle) settle(render.player);
    if (request.longestFrames >= 0 && request.longestFrames < render.totalFrames) {
        render.totalFrames = request.longestFrames;
        const std::int32_t fade = static_cast<std::int32_t>(std::min<std::int64_t>(request.fadeFrames, render.totalFrames));
        render.player.fadeOutAt = request.skipFrames + render.totalFrames - fade;
        render.player.fadeOutFrames = fade;
    }
    if (!beginPlayback(render.player, &module, request.startOrder)) return 0;
    Player& player = render.player;
    while (player.renderedFrames + player.blockFrames <= request.skipFrames) renderBlock(player);
    render.dropFrames = static_cast<std::int32_t>(request.skipFrames - player.renderedFrames);
    player.clippedSamples = 0;  // what is left out is not heard
    render.module = &module;
    return 1;
}

int renderSongBlock(SongRender& render) {
    if (render.module == nullptr || render.framesDone >= render.totalFrames) return 0;
    Player& player = render.player;
    renderBlock(player);
    const int kept = player.blockFrames - render.dropFrames;
    if (render.dropFrames > 0) {
        std::memmove(player.mixBuffer, player.mixBuffer + 2 * render.dropFrames, sizeof(float) * 2 * kept);
        std::memmove(player.outputBuffer, player.outputBuffer + 2 * render.dropFrames, sizeof(std::int16_t) * 2 * kept);
        render.dropFrames = 0;
    }
    const std::int64_t frames = std::min<std::int64_t>(kept, render.totalFrames - render.framesDone);
    render.framesDone += frames;
    return static_cast<int>(frames);
}

void endSongRender(SongRender& render) {
    if (render.module != nullptr) endPlayback(render.player);
    render.module = nullptr;
}

}  // namespace quarbtro
