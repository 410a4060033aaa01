// libFuzzer target: any byte string through the memory stream into the loader. What loads
// must satisfy the Module's invariants and is then played: a few ticks through the block
// renderer, the rest of the song (up to 1,000 ticks) through the sequencer alone, walked on a
// second player and then on the render's, and a few ticks more through the renderer, so that
// the sequencer and the mixer meet every oddity the loader lets through.
// Then it is released again. Sanitizers catch every read or write out of bounds, leak and
// undefined operation on the way.
//
// Playing is kept cheap, since it decides the executions per second: blocks of 128 frames
// instead of 2,048 (ticks still straddle blocks), no mixing at all for a module without
// sample data (it can only ever be silent), and the sequencer alone stops when the song comes
// back to a row it has played.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "player/module.h"
#include "player/song_length.h"
#include "player/song_render.h"
#include "player/xm_loader.h"
#include "tests/player/module_invariants.h"

namespace {

constexpr std::int32_t fuzzBlockFrames = 128;

// Large: one for the whole run.
quarbtro::SongRender render;

void renderBlocks(int count) {
    for (int block = 0; block < count; ++block) quarbtro::renderSongBlock(render);
}

bool hasSampleData(const quarbtro::Module& module) {
    for (int i = 0; i < module.instrumentCount; ++i) {
        const quarbtro::Instrument& instrument = module.instruments[i];
        for (int s = 0; s < instrument.sampleCount; ++s)
            if (instrument.samples[s]->data != nullptr) return true;
    }
    return false;
}

// Everything done with a module that loaded.
void exerciseLoaded(quarbtro::Module& module) {
    std::string broken = quarbtro::testing::brokenInvariant(module);
    if (!broken.empty()) {
        std::fprintf(stderr, "loaded module breaks an invariant: %s\n", broken.c_str());
        std::abort();
    }
    quarbtro::SongRenderRequest request;
    request.frames = 24 * fuzzBlockFrames;
    if (!quarbtro::beginSongRender(render, module, request)) {
        std::fprintf(stderr, "a loaded module cannot be played\n");
        std::abort();
    }
    render.player.blockFrames = fuzzBlockFrames;  // small blocks: more ticks for the time
    const bool audible = hasSampleData(module);
    if (audible) renderBlocks(12);
    quarbtro::SongWalk walk(module);  // on a player of its own, beside the render
    int ticks = 0;
    for (; ticks < 1000 && !walk.atRepeat(); ++ticks) walk.step();
    for (int tick = 0; tick < ticks; ++tick) render.player.onTick(render.player, module);
    if (audible) renderBlocks(12);
    quarbtro::endSongRender(render);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    quarbtro::Module* module = quarbtro::loadModuleFromMemory(data, std::int32_t(size));
    if (module) exerciseLoaded(*module);
    quarbtro::freeModule(module);
    return 0;
}
