#pragma once
// The player's state: everything that playing one song needs besides the song itself. A
// program makes one Player for each song it plays at a time (the intro has exactly one, for
// its whole run; a tool or a test makes its own), configures it for an output rate, starts a
// loaded Module on it (playback.h) and renders blocks from it (render.h). Nothing in the player
// library touches a Player it was not given, so players never share state.
//
// Who writes what, and on which thread:
//
// - Output format (outputRate, blockFrames, invRate, rampLength, invRampLength): written by
//   configureOutput on the controlling thread (the one that starts and stops playback) before
//   any playback starts; read-only while a song plays.
// - currentModule and the mix buffer: written by beginPlayback and endPlayback on the
//   controlling thread, only while no block is being rendered.
// - channels, voices, sampleFinetunes and outputBuffer: touched only by the thread that renders
//   blocks (a playback thread, or a tool's own thread) while a song plays; configureOutput and
//   beginPlayback reset them only while nothing renders.
// - The published position: stored by renderBlock after every block on the rendering thread,
//   loaded by the position getters on any thread; each value is one atomic word.
// - stopRendering: set by whoever drives the player from another thread (the playback thread's
//   start), before rendering starts, and cleared after it has stopped; called by freeModule on
//   the controlling thread.
//
// Nothing here is locked: the hand-over between the controlling thread and the rendering
// thread is the playback thread's start and stop handshake.
//
// The player library's only process-wide state lies outside this record: the stream registry
// (registerFileCallbacks, stream.h) and the memory stream's source (setMemoryStreamSource),
// both written on the controlling thread before a load and read by the loader on that thread.
// Loads through loadModuleFile and loadModuleFromMemory do not use them.

#include <atomic>
#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/voice.h"

namespace quarbtro {

inline constexpr std::int32_t defaultOutputRate = 44100;
inline constexpr std::int32_t defaultBlockFrames = 2048;
inline constexpr int maxInstruments = 128;
inline constexpr int maxSamplesPerInstrument = 16;

struct Player {
    std::int32_t outputRate;      // Hz
    std::int32_t blockFrames;     // frames per rendered block
    float invRate;                // 1 / outputRate
    std::int32_t rampLength;      // frames of a volume ramp: 128 at 44,100 Hz
    float invRampLength;          // 1 / rampLength
    float gain;                   // the mix is multiplied by it before it is rounded; 1 = as mixed

    Module* currentModule;        // the song being rendered; null when none
    float* mixBuffer;             // blockFrames x 2 floats (left, right), 16-byte aligned
    void* mixBufferAllocation;    // what was allocated for mixBuffer (for freeing)

    Channel channels[maxChannels];
    Voice voices[voiceCount];
    // Each sample's finetune (1/128 semitone) as this playing has it: the song's value at the
    // start, then whatever E5y set. Kept here, not in the song, so that playing never changes
    // a loaded module and a module plays the same every time it starts.
    std::int8_t sampleFinetunes[maxInstruments][maxSamplesPerInstrument];
    std::int16_t outputBuffer[defaultBlockFrames * 2];  // one block, left then right

    std::atomic<std::uint8_t> publishedOrderPosition;  // low 8 bits of orderPosition
    std::atomic<std::uint8_t> publishedRow;            // low 8 bits of row
    std::atomic<std::int32_t> publishedPlayedMs;       // playedMs
    std::atomic<std::uint8_t> publishedSpeed;          // ticks per row
    std::atomic<std::uint8_t> publishedBpm;            // beats per minute
    std::atomic<std::uint8_t> publishedSoundingChannels;  // channels whose voice plays a sample

    // Stops whatever renders from this player on another thread, returning once no block is
    // being rendered; null while only the controlling thread renders.
    void (*stopRendering)(Player& player);
};

// Sets the output format for a rate (blocks of 2,048 frames, ramps of rate x 128 / 44,100
// frames) and a gain of 1, and resets every voice to silence: voice i gets index i and a step
// of one frame.
void configureOutput(Player& player, std::int32_t rate);

}  // namespace quarbtro
