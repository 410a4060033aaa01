#pragma once
// The XM loader: reads an XM file through stream callbacks (stream.h) into a Module, with
// every sample converted to signed 16-bit frames, the delta coding undone and a guard frame
// after each loop, so the sequencer and the mixer see one format only.
//
// It is lenient with fields it does not use and safe for any bytes at all: what the player
// cannot play is refused with a reason (lastLoadFailure), values that established players
// clamp are clamped, and no count is trusted further than the file's size can justify. A file
// that ends early loads as far as it goes, whatever it does not hold silent (a sample keeps its
// declared length, its missing frames silent), and says so in lastLoadWarning.
//
// After a successful load:
//   channelCount is 1..32; songLength is 0..256 and restartPosition below it (or 0);
//   every order position below songLength, and position 0, names a pattern below
//   patternCount; every pattern has 1..256 rows and rowCount × channelCount cells;
//   instrumentCount is 0..128; every sample has bits 16 and, when length > 0, data of
//   length + 8 frames (the guard frame and zero padding), loopLength ≥ 1 and
//   loopStart + loopLength ≤ length; envelope point counts are at most 12, and the sustain
//   and loop bits are only set where their points lie below the point count.
//
// Used from one thread at a time; the failure record belongs to the calling thread.

#include <cstdint>

#include "player/module.h"
#include "player/stream.h"

namespace quarbtro {

using SampleLoadHook = void (*)(void* buffer, std::int32_t bytes, std::int32_t bits,
                                std::int32_t instrument, std::int32_t sample);

// Opens name through the given callbacks and reads it. Null on failure, after releasing
// whatever was built; the sample hook, when set, supplies the sample data instead of the file.
Module* loadModuleWith(const FileCallbacks& callbacks, const void* name,
                       SampleLoadHook sampleLoadHook = nullptr);

// An XM file on disk, through the file stream (a failed open leaves errno saying why).
Module* loadModuleFile(const char* path, SampleLoadHook sampleLoadHook = nullptr);

// An XM module held in memory (the embedded song, a generated file), through a memory stream
// over the bytes, which need to stay valid only during the call.
Module* loadModuleFromMemory(const void* bytes, std::int32_t size,
                             SampleLoadHook sampleLoadHook = nullptr);

// Fills a zero-filled module from an open file: 1 on success, 0 on failure (the module then
// holds what was built so far, for freeModule).
std::int32_t readXm(Module* module, ModuleFile* file);

enum class LoadFailureKind : std::uint8_t {
    none,         // the last load succeeded
    cannotOpen,   // the stream's open failed
    outOfMemory,
    refused,      // the bytes are not an XM module the player can play
};

struct LoadFailure {
    LoadFailureKind kind;
    const char* reason;  // one line without a full stop, e.g. "song length 300 is above 256"
};

// Why the calling thread's last load or readXm failed; kind none and "" after a success.
LoadFailure lastLoadFailure();

// What the calling thread's last successful load found wrong but played anyway, as one line
// without a full stop ("the file ends early: ..."), or "" for a sound file. A file that ends
// early says what is cut short or missing from where it ends (patterns, instruments, sample
// bytes), all of which plays as silence.
const char* lastLoadWarning();

}  // namespace quarbtro
