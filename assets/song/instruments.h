#pragma once
// The song's instruments: every sample is synthesised here, in code, and added to the draft
// with its loop, tuning, default volume and panning, and the instrument's envelopes.

#include <cstdint>

#include "player/module_draft.h"

namespace quarbtro::song {

// Instrument numbers as written in the patterns (1-based).
struct Instruments {
    std::uint8_t kick;    // a click, a knock and a 46 Hz body gone in 0.12 s; higher: toms
    std::uint8_t snare;   // two falling tones and filtered noise
    std::uint8_t hat;     // metallic squares and noise from 5 to 10 kHz
    std::uint8_t cymbal;  // a crash that rings out; choked, an open hi-hat
    std::uint8_t bass;    // sawtooth whose filter settles around its fifth harmonic
    std::uint8_t lead;    // three detuned sawtooths and a square with a 2-3 kHz formant
    std::uint8_t pluck;   // bright attack decaying to a soft tone, for arpeggios
    std::uint8_t pad;     // a chord in one of five voicings (see PadVoicing)
};

// The pad's chord samples, each on twelve keys of its keyboard, from padFirstKey on in this
// order. Each voicing has its own register: its roots run over twelve semitones from
// padLowestRoot, chosen so that its lowest voice lies between E-3 and D#4. So a pad moves from
// chord to chord, and from voicing to voicing, by notes alone: without an instrument number,
// that is without a new attack.
enum PadVoicing : int {
    padMinor,         // root, minor third, fifth
    padMajor,         // root, third, fifth
    padMajorThird,    // the third lowest: third, fifth, root an octave up
    padMajorFifth,    // the fifth lowest, under the root: fifth, root, third
    padMajorSeventh,  // root, third, fifth and the major seventh
    padVoicingCount
};
inline constexpr int padFirstKey = 17;  // E-1, 1-based
inline constexpr int padLowestRoot[padVoicingCount] = {41, 41, 37, 46, 41};  // E-3, C-3, A-3

// How far a voicing's keys lie above the roots they sound (semitones; below when negative).
constexpr int padKeyOffset(PadVoicing voicing) {
    return padFirstKey + 12 * voicing - padLowestRoot[voicing];
}

// The row note (1-based) that plays `voicing` of the chord on `pitchClass` (C = 0).
constexpr std::uint8_t padNote(PadVoicing voicing, int pitchClass) {
    int lowest = padLowestRoot[voicing];
    int root = lowest + (pitchClass - (lowest - 1) % 12 + 12) % 12;
    return std::uint8_t(root + padKeyOffset(voicing));
}

Instruments addInstruments(ModuleDraft& draft);

}  // namespace quarbtro::song
