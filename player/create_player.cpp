#include "player/create_player.h"

#include <cstdlib>

#include "assets/songXm.h"
#include "player/audio_device.h"
#include "player/stream.h"
#include "player/xm_loader.h"

namespace quarbtro {

Module* createPlayerFor(const void* song, std::int32_t size) {
    // The device open refuses to run before the stream callbacks are registered.
    useMemoryStream();
    audioDevice.bytesWritten = 0;
    if (!openAudioDevice(44100)) std::exit(1);
    Module* module = loadModuleFromMemory(song, size, nullptr);
    if (!module) {
        closeAudioDevice();
        std::exit(1);
    }
    // A thread that cannot be created leaves the intro running silently, its clock standing.
    startPlayback(module);
    return module;
}

Module* createPlayer() { return createPlayerFor(songXm, songXmSize); }

}  // namespace quarbtro
