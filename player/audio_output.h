#pragma once
// The process-wide audio output state: one record, shared by the renderer, the mixer, the
// sequencer and playback control. Who writes what, and on which thread:
//
// - Output format (outputRate, blockFrames, invRate, rampLength, invRampLength): written by
//   configureAudioOutput, on the controlling thread before any playback starts (the sound
//   device's open, or an offline renderer); read-only while a song plays.
// - currentModule and the mix buffer: written by beginPlayback and endPlayback (playback.h) on
//   the controlling thread, only while no block is being rendered.
// - voices and outputBuffer: touched only by the thread that renders blocks (the playback
//   thread, or an offline renderer's own thread) while a song plays; configureAudioOutput and
//   playback control touch them only while nothing renders.
// - The published position: stored by renderBlock after every block on the rendering thread,
//   loaded by the position getters on any thread; each value is one atomic word.
//
// Nothing here is locked: the hand-over between the controlling thread and the rendering
// thread is the playback thread's start and stop handshake.

#include <atomic>
#include <cstdint>

#include "player/module.h"
#include "player/voice.h"

namespace quarbtro {

inline constexpr std::int32_t defaultOutputRate = 44100;
inline constexpr std::int32_t defaultBlockFrames = 2048;

struct AudioOutput {
    std::int32_t outputRate;      // Hz
    std::int32_t blockFrames;     // frames per rendered block
    float invRate;                // 1 / outputRate
    std::int32_t rampLength;      // frames of a volume ramp: 128 at 44,100 Hz
    float invRampLength;          // 1 / rampLength

    Module* currentModule;        // the song being rendered; null when none
    float* mixBuffer;             // blockFrames x 2 floats (left, right), 16-byte aligned
    void* mixBufferAllocation;    // what was allocated for mixBuffer (for freeing)

    Voice voices[voiceCount];
    std::int16_t outputBuffer[defaultBlockFrames * 2];  // one block, left then right

    std::atomic<std::uint8_t> publishedOrderPosition;  // low 8 bits of orderPosition
    std::atomic<std::uint8_t> publishedRow;            // low 8 bits of row
    std::atomic<std::int32_t> publishedPlayedMs;       // playedMs
};

extern AudioOutput audioOutput;

// Sets the output format for a rate (blocks of 2,048 frames, ramps of rate x 128 / 44,100
// frames) and resets every voice to silence: voice i gets index i and a step of one frame.
void configureAudioOutput(std::int32_t rate);

}  // namespace quarbtro
