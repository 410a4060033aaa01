// libFuzzer target: any byte string through the memory stream into the loader. What loads
// must satisfy the Module's invariants and is then played: a few blocks through the block
// renderer, many ticks of the sequencer alone, and a few blocks more, so that the sequencer
// and the mixer meet every oddity the loader lets through. Then it is released again. Sanitizers catch every
// read or write out of bounds, leak and undefined operation on the way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "player/audio_output.h"
#include "player/module.h"
#include "player/playback.h"
#include "player/render.h"
#include "player/song_length.h"
#include "player/stream.h"
#include "player/xm_loader.h"
#include "tests/player/module_invariants.h"

namespace {

void renderBlocks(int count) {
    for (int block = 0; block < count; ++block) quarbtro::renderBlock();
}

// Everything done with a module that loaded.
void exerciseLoaded(quarbtro::Module& module) {
    std::string broken = quarbtro::testing::brokenInvariant(module);
    if (!broken.empty()) {
        std::fprintf(stderr, "loaded module breaks an invariant: %s\n", broken.c_str());
        std::abort();
    }
    quarbtro::configureAudioOutput(quarbtro::defaultOutputRate);
    if (!quarbtro::beginPlayback(&module)) {
        std::fprintf(stderr, "a loaded module cannot be played\n");
        std::abort();
    }
    renderBlocks(8);
    quarbtro::SongWalk walk(module);
    for (int tick = 0; tick < 2000; ++tick) walk.step();
    renderBlocks(8);
    quarbtro::endPlayback();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    quarbtro::useMemoryStream();
    quarbtro::setMemoryStreamSource(data, std::int32_t(size));
    quarbtro::Module* module = quarbtro::loadModule(nullptr, nullptr);
    if (module) exerciseLoaded(*module);
    quarbtro::freeModule(module);
    return 0;
}
