#pragma once
// The small synthesis kit the song's instruments are made with: deterministic noise, one-pole
// filters, band-limited periodic waves given by their harmonics, fades, conversion to 16-bit
// PCM, and the tuning that makes a sample's notes sound at their written pitch.
//
// Everything is plain double arithmetic without randomness from outside, so the generator
// writes the same bytes on every run.

#include <cstdint>
#include <vector>

namespace quarbtro::song {

inline constexpr double pi = 3.14159265358979323846;

// A sound at its sample's own rate, nominally within -1..1.
using Signal = std::vector<double>;

// White noise from a 32-bit xorshift generator, uniform in [-1, 1).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double next();

private:
    std::uint32_t state_;
};

// A one-pole low-pass filter; its complement (input minus output) is the matching high-pass.
class OnePole {
public:
    OnePole(double cutoffHz, double rate);
    double lowpass(double input);
    double highpass(double input) { return input - lowpass(input); }

private:
    double coefficient_;
    double state_ = 0;
};

// The value at `phase` (in cycles) of a wave whose harmonic h has amplitude amplitudes[h - 1],
// all in sine phase: the wave is 0 at every whole cycle, so loops cut there meet without a step.
double harmonicWave(const std::vector<double>& amplitudes, double phase);

// Harmonic amplitudes of a band-limited sawtooth of `count` harmonics, low-passed by a gentle
// two-pole slope above harmonic `cutoff` (a cutoff of 0 leaves the sawtooth unfiltered).
std::vector<double> sawHarmonics(int count, double cutoff);

// Raised-cosine fades over the first or last `frames` frames.
void fadeIn(Signal& signal, std::size_t frames);
void fadeOut(Signal& signal, std::size_t frames);

// Soft saturation that keeps 0 at 0 and 1 at 1: tanh(drive x) / tanh(drive).
double saturate(double value, double drive);

// Scales the signal so that its largest magnitude becomes peak × 32767, and rounds it.
std::vector<std::int16_t> toPcm(const Signal& signal, double peak);

// The same at 8 bits: scaled to peak × 127, rounded, and stored in the high byte (the low byte
// 0), which is all an 8-bit sample keeps.
std::vector<std::int16_t> toPcm8(const Signal& signal, double peak);

// A sample's relative note and finetune (in 1/128 semitone, even, since the player halves it).
struct Tuning {
    std::int8_t relativeNote;
    std::int8_t finetune;
};

// Tuning for a sample whose content has the fundamental `frequencyHz` when played at
// `rateHz`, so that every row note sounds at its equal-tempered pitch (A-4 = 440 Hz).
Tuning pitchTuning(double frequencyHz, double rateHz);

// Tuning for a sound without a pitch of its own (a drum): C-4 plays it at `rateHz`.
Tuning rateTuning(double rateHz);

}  // namespace quarbtro::song
