#include "assets/song/synth.h"

#include <algorithm>
#include <cmath>

namespace quarbtro::song {

namespace {

constexpr double c4Rate = 8363.0;  // Hz at which the player plays C-4 of an untuned sample
constexpr int c4Note = 48;         // 0-based C-4
constexpr int a4Note = 57;         // 0-based A-4

// Splits a pitch offset in semitones into a relative note and an even finetune.
Tuning tuningFromSemitones(double semitones) {
    double whole = std::round(semitones);
    double finetune = 2 * std::round((semitones - whole) * 64);
    return {static_cast<std::int8_t>(whole), static_cast<std::int8_t>(finetune)};
}

// Scales the signal so that its largest magnitude becomes `largestStep` steps of `step`, rounds
// it to whole steps and returns them multiplied out.
std::vector<std::int16_t> toSteps(const Signal& signal, double largestStep, int step) {
    double largest = 0;
    for (double value : signal) largest = std::max(largest, std::abs(value));
    double scale = largest > 0 ? largestStep / largest : 0;
    std::vector<std::int16_t> pcm(signal.size());
    for (std::size_t k = 0; k < signal.size(); ++k) {
        pcm[k] = static_cast<std::int16_t>(std::lround(signal[k] * scale) * step);
    }
    return pcm;
}

}  // namespace

double Noise::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ / 2147483648.0 - 1.0;
}

OnePole::OnePole(double cutoffHz, double rate)
    : coefficient_(1.0 - std::exp(-2 * pi * cutoffHz / rate)) {}

double OnePole::lowpass(double input) {
    state_ += coefficient_ * (input - state_);
    return state_;
}

double harmonicWave(const std::vector<double>& amplitudes, double phase) {
    double sum = 0;
    for (std::size_t h = 0; h < amplitudes.size(); ++h) {
        sum += amplitudes[h] * std::sin(2 * pi * double(h + 1) * phase);
    }
    return sum;
}

std::vector<double> sawHarmonics(int count, double cutoff) {
    std::vector<double> amplitudes(count);
    for (int h = 1; h <= count; ++h) {
        double slope = cutoff > 0 ? 1.0 / (1.0 + std::pow(h / cutoff, 4)) : 1.0;
        amplitudes[h - 1] = std::sqrt(slope) / h;
    }
    return amplitudes;
}

void fadeIn(Signal& signal, std::size_t frames) {
    frames = std::min(frames, signal.size());
    for (std::size_t k = 0; k < frames; ++k) {
        signal[k] *= 0.5 - 0.5 * std::cos(pi * double(k) / double(frames));
    }
}

void fadeOut(Signal& signal, std::size_t frames) {
    frames = std::min(frames, signal.size());
    std::size_t start = signal.size() - frames;
    for (std::size_t k = 0; k < frames; ++k) {
        // Reaches exactly 0 on the last frame, so a one-shot ends in silence.
        signal[start + k] *= 0.5 + 0.5 * std::cos(pi * double(k + 1) / double(frames));
    }
}

double saturate(double value, double drive) { return std::tanh(drive * value) / std::tanh(drive); }

std::vector<std::int16_t> toPcm(const Signal& signal, double peak) {
    return toSteps(signal, peak * 32767.0, 1);
}

std::vector<std::int16_t> toPcm8(const Signal& signal, double peak) {
    return toSteps(signal, peak * 127.0, 256);
}

Tuning pitchTuning(double frequencyHz, double rateHz) {
    // The note whose pitch the content has, played at rateHz, relative to A-4 at its own rate.
    return tuningFromSemitones(12 * std::log2(rateHz * 440.0 / (c4Rate * frequencyHz)) -
                               (a4Note - c4Note));
}

Tuning rateTuning(double rateHz) { return tuningFromSemitones(12 * std::log2(rateHz / c4Rate)); }

}  // namespace quarbtro::song
