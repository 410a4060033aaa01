#pragma once
// Per-channel playback state of the sequencer. Each field named ...Memory keeps the last
// non-zero parameter of its effect. A player holds 32 (player.h); written by playback start
// (zero-filled, channel i linked to voice i) while nothing renders, then only by the sequencer
// on the rendering thread.

#include <cstdint>

#include "player/voice.h"

namespace quarbtro {

// Channel i drives voice i and its partner i + 32, and the mixer plays voices 0..63.
inline constexpr int maxChannels = 32;

// Update requests in Channel::flags, consumed by updateVoice at the end of every tick.
inline constexpr std::uint8_t updateFrequency = 0x01;  // frequency and step from the period
inline constexpr std::uint8_t updateVolume = 0x02;     // volume targets
inline constexpr std::uint8_t updatePanning = 0x04;    // panning targets
inline constexpr std::uint8_t trigger = 0x08;          // start the sample: a new note
inline constexpr std::uint8_t rewind = 0x20;           // back to frame 0, same note
// The volume or panning was set rather than slid: under the FT2 profile's volumeRampsAsFt2 it
// changes within the short ramp, where slides and envelopes take the whole tick.
inline constexpr std::uint8_t quickRamp = 0x40;

struct Channel {
    std::uint8_t keyNote;        // row note - 1 (0..95): index into sampleForNote
    std::uint8_t flags;          // update requests of this tick
    Voice* voice;                // the voice driven now: voice i or its partner
    const Sample* sample;        // chosen by the last row that selected one
    std::int32_t period;         // current period, slides and portamento applied
    std::int32_t volume;         // 0..64 (Cxx can store up to 255)
    std::int32_t panning;        // 0..255, 128 = centre (volume-column slides may leave it)
    std::int32_t volumeDelta;    // tremolo and tremor offset of this tick
    std::int32_t periodDelta;    // vibrato, arpeggio and auto-vibrato offset of this tick

    std::int32_t volEnvTick;     // ticks since the note
    std::int32_t volEnvPoint;    // index of the next point
    std::int32_t volEnvValue;    // 16.16
    std::int32_t volEnvVolume;   // envelope output 0..64; 64 after an instrument reset
    std::int32_t volEnvSlope;    // 16.16 per tick
    std::uint8_t volEnvDone;     // 1 once finished
    std::int32_t panEnvTick;
    std::int32_t panEnvPoint;
    std::int32_t panEnvValue;    // 16.16
    std::int32_t panEnvPanning;  // envelope output 0..64, 32 = centre
    std::int32_t panEnvSlope;    // 16.16 per tick
    std::uint8_t panEnvDone;
    std::int32_t fadeOut;        // 65,536 = full, 0 = silent
    std::int32_t autoVibPos;     // phase 0..255 (1/256 cycle)
    std::int32_t autoVibSweep;   // ticks into the sweep
    std::uint8_t keyOff;         // 1: sustain released, fade-out running

    std::uint8_t instrument;     // row instrument - 1
    std::uint8_t note;           // row note + relativeNote - 1, modulo 256
    std::int32_t notePeriod;     // period of note with the sample's finetune
    std::uint8_t lastEffect;     // effect of the previous row

    std::int32_t offsetMemory;           // 9xx
    std::uint8_t portaDownMemory;        // 2xx
    std::uint8_t portaUpMemory;          // 1xx
    std::uint8_t xfinePortaDownMemory;   // X2x
    std::uint8_t xfinePortaUpMemory;     // X1x
    std::uint8_t volSlideMemory;         // Axy, 5xy, 6xy
    std::uint8_t panSlideMemory;         // Pxy
    std::uint8_t retrigType;             // Rxy: x
    std::uint8_t retrigInterval;         // Rxy: y, ticks
    std::int32_t portaTarget;            // tone-portamento target period
    std::uint8_t portaSpeed;             // tone-portamento speed (x 4 periods per tick)
    std::int8_t vibratoPos;              // phase -32..31
    std::uint8_t vibratoSpeed;
    std::uint8_t vibratoDepth;
    std::int8_t tremoloPos;              // phase -32..31
    std::uint8_t tremoloSpeed;
    std::uint8_t tremoloDepth;
    std::uint8_t tremorCounter;          // ticks into the tremor cycle
    std::uint8_t tremorOn;               // audible ticks of the cycle (x + 1)
    std::uint8_t tremorOff;              // muted ticks of the cycle (y + 1)
    std::int32_t loopRow;                // pattern-loop start row (E60)
    std::int32_t loopCount;              // pattern-loop repeats still to play
    std::uint8_t waveControl;            // low nibble vibrato waveform, high nibble tremolo
    std::uint8_t fineVolSlideMemory;     // EAx, EBx
    std::uint8_t finePortaUpMemory;      // E1x
    std::uint8_t finePortaDownMemory;    // E2x

    // Used by the FT2 profile's rules only (playback_profile.h); the design leaves them 0.
    std::uint8_t noteInstrument;         // instrument (0-based) of the playing note
    std::uint8_t noteSlot;               // its sample slot
    std::uint8_t envelopeInstrument;     // instrument (0-based) whose envelopes, fade-out and auto-vibrato play
    std::int8_t noteFinetune;            // finetune of the playing note, 1/128 semitone
    std::uint8_t portaDirection;         // tone portamento: 0 none, 1 toward longer periods, 2 shorter
    std::uint8_t glissando;              // E3x: non-zero rounds the tone portamento to semitones
    std::uint8_t retrigCounter;          // Rxy: ticks counted toward the next retrigger
    std::uint8_t fineVolDownMemory;      // EBx, apart from EAx
    std::uint8_t tremorMemory;           // Txy: the last non-zero parameter
    std::uint8_t panEnvHeld;             // the panning envelope has held at its sustain point
    std::uint8_t lastParameter;          // effect parameter of the previous row
    std::int32_t periodOffset;           // what the last pitch effect left on the period (as periodDelta)
    std::int32_t volEnvFine;             // volEnvVolume in 16.16, for fine voice volumes
    std::int32_t panEnvFine;             // panEnvPanning in 16.16
};

}  // namespace quarbtro
