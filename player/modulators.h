#pragma once
// The channel modulators: the small routines that turn notes, envelopes and oscillators into
// numbers on every tick (the Amiga note period, the envelope step, auto-vibrato, vibrato,
// tremolo, tremor, tone portamento, and the slides the effects and the volume column share).
// Each works on one channel and marks what it changed with the update requests of channel.h.
//
// Phases: vibrato and tremolo run from -32 to 31 (64 steps a cycle), the auto-vibrato from 0 to
// 255. Envelope values are 16.16; their outputs whole numbers 0..64. The sines use pi as
// 3.141592 (so their peaks are 63 and 255, never 64 and 256), and the library sine and power
// functions are called directly: the truncations below are part of the sound.

#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/playback_profile.h"

namespace quarbtro {

// Amiga-table period of a 0-based note (after the relative note) with a finetune in 1/128
// semitone: 13.375 x 2^((132 - note) / 12), finetune interpolating in whole periods toward the
// neighbour semitone it points to. amigaPeriod(48, 0) = 1712.
std::int32_t amigaPeriod(std::uint8_t note, std::int8_t finetune);

// One envelope of a channel: its running state and the instrument's shape.
struct EnvelopeState {
    std::int32_t& point;   // index of the next point
    std::int32_t& tick;
    std::int32_t& value;   // 16.16
    std::int32_t& slope;   // 16.16 per tick
    std::int32_t& output;  // 0..64
    std::uint8_t& done;
    std::int32_t& fineOutput;  // the output in 16.16
};
struct EnvelopeShape {
    const EnvelopePoint* points;
    std::uint8_t pointCount;
    std::uint8_t sustainPoint;
    std::uint8_t loopStart;
    std::uint8_t loopEnd;
    std::uint8_t flags;  // envelopeOn, envelopeSustain, envelopeLoop
    // FT2's panning envelope (panningSustainNeverReleased): `held` (when set) records that the
    // envelope held at its sustain point; heldBeyondKeyOff keeps it there after a key-off.
    std::uint8_t* held = nullptr;
    bool heldBeyondKeyOff = false;
    // FT2 (sustainLoopLeftAtKeyOff): a loop that ends at the sustain point is not taken once the
    // key is released.
    bool sustainLoopLeftAtKeyOff = false;
};

EnvelopeState volumeEnvelopeState(Channel& channel);
EnvelopeState panningEnvelopeState(Channel& channel);
EnvelopeShape volumeEnvelopeShape(const Instrument& instrument);
EnvelopeShape panningEnvelopeShape(const Instrument& instrument);

// Advances one envelope by one tick and sets `request` (updateVolume or updatePanning).
void stepEnvelope(Channel& channel, EnvelopeState state, const EnvelopeShape& shape,
                  std::uint8_t request);

// Adds the auto-vibrato to periodDelta (FT2's phase and sweep under autoVibratoAsFt2).
void stepAutoVibrato(const PlaybackRules& rules, Channel& channel, const Instrument& instrument);
void applyVibrato(Channel& channel);    // sets periodDelta from the vibrato phase
void advanceVibrato(Channel& channel);  // moves the vibrato phase on
// Sets volumeDelta and moves the tremolo phase on; under tremoloWaveformsAsFt2 the ramp
// waveform takes its sign from the vibrato phase and waveform 3 is a square.
void stepTremolo(const PlaybackRules& rules, Channel& channel);
void stepTremor(Channel& channel);      // mutes the tick or not, and counts
// FT2's tremor (tremorAsFt2): tremorCounter holds the phase in its top bit (set: audible) and
// the ticks left in it below; the volume heard stays as set until the volume is set again.
void stepTremorAsFt2(Channel& channel);
// Period toward portaTarget; under tonePortamentoAsFt2 in the direction its note fixed, and
// rounded to semitones while E3x is on.
void stepTonePortamento(const PlaybackRules& rules, const Module& module, Channel& channel);

// The period of a note (0-based, after the relative note) in FT2's tables, which hold 16
// finetunes a semitone: the low 3 bits of the finetune do not count.
std::int32_t ft2NotePeriod(const Module& module, std::uint8_t note, std::int8_t finetune);

// FT2's relocation of a period onto the semitone grid (arpeggio, glissando): the period of the
// note nearest `period` (with the channel's finetune), `semitones` higher, at most C-8.
std::int32_t semitonePeriod(const Module& module, std::int32_t period, std::int8_t finetune, int semitones);

// The slides the volume column and the effects share: up stops at 64 (so a volume above 64
// from Cxx comes down to 64), down stops at 0; the panning moves unclamped (the voice update
// clamps what it sends).
void slideVolumeUp(Channel& channel, int amount);
void slideVolumeDown(Channel& channel, int amount);
void shiftPanning(Channel& channel, int amount);
// Set (not slid) volume and panning: the volume heard with it too (volumeDelta 0), and the
// short ramp.
void setChannelVolume(Channel& channel, int volume);
void setChannelPanning(Channel& channel, int panning);

}  // namespace quarbtro
