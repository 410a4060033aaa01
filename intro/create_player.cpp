#include "intro/create_player.h"

#include "assets/songXm.h"
#include "player/xm_loader.h"
#include "sound/output_choice.h"

namespace quarbtro {

SoundPlayback& introPlayback() {
    // Allocated once and never freed: the thread may still run while the process exits.
    static SoundPlayback* playback = new SoundPlayback{};
    return *playback;
}

const Module* createPlayerFor(const void* song, std::int32_t size, std::string& problem) {
    SoundPlayback& playback = introPlayback();
    SoundOutput output{};
    OutputError error;
    if (openChosenOutput(output, cdFormat, error)) {
        preparePlayback(playback, output);
    } else if (error.stalled) {
        // A sound server that stopped answering: the show goes on without sound, as when a
        // server stalls before playing anything.
        prepareSilentPlayback(playback, cdFormat, error.text);
    } else {
        problem = error.text;
        return nullptr;
    }
    // Never freed: it plays until the process ends.
    const Module* module = loadModuleFromMemory(song, size);
    if (!module) {
        closePlayback(playback);
        problem = std::string("the song does not load: ") + lastLoadFailure().reason;
        return nullptr;
    }
    // A thread that cannot be created leaves the intro running silently, its clock standing.
    startPlayback(playback, module);
    return module;
}

const Module* createPlayer(std::string& problem) { return createPlayerFor(songXm, songXmSize, problem); }

}  // namespace quarbtro
