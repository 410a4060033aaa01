#pragma once
// The song's instruments: every sample is synthesised here, in code, and added to the draft
// with its loop, tuning, default volume and panning, and the instrument's envelopes.

#include <cstdint>

#include "player/module_draft.h"

namespace quarbtro::song {

// Instrument numbers as written in the patterns (1-based).
struct Instruments {
    std::uint8_t kick;    // a short sine sweep with a knock and a 1-3 kHz click; higher: toms
    std::uint8_t snare;   // two falling tones and filtered noise
    std::uint8_t hat;     // metallic squares and noise from 5 to 10 kHz
    std::uint8_t cymbal;  // a crash that rings out; choked, an open hi-hat
    std::uint8_t bass;    // sawtooth whose filter settles around its fifth harmonic
    std::uint8_t lead;    // three detuned sawtooths and a square, looped over their beats
    std::uint8_t pluck;   // bright attack decaying to a soft tone, for arpeggios
    std::uint8_t pad;     // a chord (root, third, fifth, octave): minor, or major from padMajorNote
};

// The pad's keyboard is split: notes from this one up play its major chord sample, three
// octaves (padMajorShift semitones) lower; notes below it play the minor one. So a pad can go
// from a minor to a major chord without an instrument number, that is without a new attack.
inline constexpr int padMajorShift = 36;
inline constexpr std::uint8_t padMajorNote = 61;  // C-5 (1-based, C-0 = 1)

Instruments addInstruments(ModuleDraft& draft);

}  // namespace quarbtro::song
