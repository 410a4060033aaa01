#pragma once
// The channel modulators: the small routines that turn notes, envelopes and oscillators into
// numbers on every tick (the Amiga note period, the envelope step, auto-vibrato, vibrato,
// tremolo, tremor, tone portamento, and the slides the effects and the volume column share). Each works on one channel
// and marks what it changed with the update requests of channel.h.
//
// Phases: vibrato and tremolo run from -32 to 31 (64 steps a cycle), the auto-vibrato from 0 to
// 255. Envelope values are 16.16; their outputs whole numbers 0..64. The sines use pi as
// 3.141592 (so their peaks are 63 and 255, never 64 and 256), and the library sine and power
// functions are called directly: the truncations below are part of the sound.

#include <cstdint>

#include "player/channel.h"
#include "player/module.h"

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
};
struct EnvelopeShape {
    const EnvelopePoint* points;
    std::uint8_t pointCount;
    std::uint8_t sustainPoint;
    std::uint8_t loopStart;
    std::uint8_t loopEnd;
    std::uint8_t flags;  // envelopeOn, envelopeSustain, envelopeLoop
};

EnvelopeState volumeEnvelopeState(Channel& channel);
EnvelopeState panningEnvelopeState(Channel& channel);
EnvelopeShape volumeEnvelopeShape(const Instrument& instrument);
EnvelopeShape panningEnvelopeShape(const Instrument& instrument);

// Advances one envelope by one tick and sets `request` (updateVolume or updatePanning).
void stepEnvelope(Channel& channel, EnvelopeState state, const EnvelopeShape& shape,
                  std::uint8_t request);

void stepAutoVibrato(Channel& channel, const Instrument& instrument);  // adds to periodDelta
void applyVibrato(Channel& channel);    // sets periodDelta from the vibrato phase
void advanceVibrato(Channel& channel);  // moves the vibrato phase on
void stepTremolo(Channel& channel);     // sets volumeDelta, moves the tremolo phase on
void stepTremor(Channel& channel);      // mutes the tick or not, and counts
void stepTonePortamento(Channel& channel);  // period toward portaTarget

// The slides the volume column and the effects share: up stops at 64 (so a volume above 64
// from Cxx comes down to 64), down stops at 0; the panning moves unclamped (the voice update
// clamps what it sends).
void slideVolumeUp(Channel& channel, int amount);
void slideVolumeDown(Channel& channel, int amount);
void shiftPanning(Channel& channel, int amount);

}  // namespace quarbtro
