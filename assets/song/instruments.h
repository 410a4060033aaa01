#pragma once
// The song's instruments: every sample is synthesised here, in code, and added to the draft
// with its loop, tuning, default volume and panning, and the instrument's envelopes.

#include <cstdint>

#include "player/module_draft.h"

namespace quarbtro::song {

// Instrument numbers as written in the patterns (1-based).
struct Instruments {
    std::uint8_t kick;          // sine with a falling pitch and a click; higher notes are toms
    std::uint8_t snare;         // two falling tones and filtered noise
    std::uint8_t hat;           // metallic squares and noise above 5 kHz
    std::uint8_t cymbal;        // a crash that rings out; choked, an open hi-hat
    std::uint8_t bass;          // sawtooth whose filter closes over the first cycles
    std::uint8_t lead;          // three detuned sawtooths and a square, looped over their beats
    std::uint8_t pluck;         // bright attack decaying to a soft tone, for arpeggios
    std::uint8_t padMinor;      // a minor chord (root, fifth, octave, tenth), left of centre
    std::uint8_t padMajor;      // the major chord, left of centre
    std::uint8_t padMinorWide;  // the same chords right of centre, for the detuned double
    std::uint8_t padMajorWide;
};

Instruments addInstruments(ModuleDraft& draft);

}  // namespace quarbtro::song
