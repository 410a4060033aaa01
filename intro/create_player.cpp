#include "intro/create_player.h"

#include <cstdio>
#include <cstdlib>

#include "assets/songXm.h"
#include "player/stream.h"
#include "player/xm_loader.h"
#include "sound/output_choice.h"

namespace quarbtro {

SoundPlayback& introPlayback() {
    // Allocated once and never freed: the thread may still run while the process exits.
    static SoundPlayback* playback = new SoundPlayback{};
    return *playback;
}

Module* createPlayerFor(const void* song, std::int32_t size) {
    useMemoryStream();
    SoundPlayback& playback = introPlayback();
    SoundOutput output{};
    OutputError error;
    if (!openChosenOutput(output, cdFormat, error)) {
        std::fprintf(stderr, "quarbtro: %s\n", error.text.c_str());
        std::exit(1);
    }
    preparePlayback(playback, output);
    Module* module = loadModuleFromMemory(song, size, nullptr);
    if (!module) {
        closePlayback(playback);
        std::exit(1);
    }
    // A thread that cannot be created leaves the intro running silently, its clock standing.
    startPlayback(playback, module);
    return module;
}

Module* createPlayer() { return createPlayerFor(songXm, songXmSize); }

int PlaybackClock() { return playbackClock(introPlayback()); }

}  // namespace quarbtro
