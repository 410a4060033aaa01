#pragma once
// The band-limited resampler: a sinc windowed by a Kaiser window (beta 9: the stop band some
// 90 dB down), whose cut-off follows the step.
//
// At a step of one frame per output frame or less the kernel passes what lies below 0.92 of
// the sample's Nyquist frequency and reaches 18 frames to each side (16 of its zero crossings).
// Above that it is stretched by the step, so that its cut-off falls to 0.92 of the output's
// Nyquist frequency and it reaches further: what would fold back into the output as aliases is
// filtered out first. Steps are taken in bands an eighth of an octave wide, each band stretched
// for its highest step (so a step just above a band's lowest loses up to 8 % of the top of the
// band, and never aliases); steps above sincWidestStep stretch it no further (they alias).
//
// Each band's weights are a table of phases between two frames (1,024 at steps up to 1, fewer
// as the kernel widens), read with a straight line between neighbouring phases, each phase's
// weights summing to 1 (a constant stays itself). The tables are made on first use
// (thread-safe; about 3.5 MB) and never changed.

#include <cstdint>

namespace quarbtro {

inline constexpr double sincWidestStep = 8;
inline constexpr int sincWidestReach = 140;  // frames to each side at sincWidestStep and above

struct SincBand {
    const float* weights;  // (phases + 1) rows of `taps` weights
    int reach;             // frames to each side: i - reach + 1 .. i + reach around frame i
    int taps;              // 2 x reach rounded up to a multiple of 4; the last are weighed 0
    int phases;
};

// The band for a step in frames per output frame.
const SincBand& sincBand(double step);

// The value heard at `fraction` (0 <= fraction < 1) of a frame past frames[0], weighed from
// frames[1 - band.reach] .. frames[band.taps - band.reach], in the 16-bit scale.
float sincValue(const std::int16_t* frames, double fraction, const SincBand& band);

}  // namespace quarbtro
