#pragma once
// The resampler's measure: a looped sine played by one voice at a step, and the spur-free range
// of what the mixer makes of it: the sine's level over the level of the largest other
// component of the output's spectrum, in dB. The unit tests hold the interpolations to it and
// the bench prints it.
//
// The sine is fitted out of the output first (its frequency is known exactly from the sine's
// and the step's), so what is left is only what the resampling added; a Hann-windowed spectrum
// of the rest then finds its largest component.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "player/mixer.h"
#include "player/player.h"

namespace quarbtro::looped_sine {

// By default 97 cycles in a loop of 997 frames: 0.0973 cycles a frame, so that at a step of 4
// the tone (0.389 cycles an output frame) is still below the output's Nyquist frequency.
inline constexpr int loopFrames = 997;
inline constexpr int loopCycles = 97;
inline constexpr double amplitude = 30000;

// A forward-looping sine of `cycles` in `frames` as the loader leaves a sample: its guard frame
// and padding after it.
struct Sine {
    std::vector<std::int16_t> frames;
    Sample sample{};
    explicit Sine(int cycles = loopCycles, int length = loopFrames) {
        frames.assign(static_cast<std::size_t>(length) + 8, 0);
        for (int i = 0; i < length; ++i)
            frames[i] = static_cast<std::int16_t>(
                std::lrint(amplitude * std::sin(2 * std::numbers::pi * cycles * i / length)));
        frames[length] = frames[0];
        sample.data = frames.data();
        sample.length = static_cast<std::uint32_t>(length);
        sample.loopType = loopForward;
        sample.loopStart = 0;
        sample.loopLength = static_cast<std::uint32_t>(length);
        sample.bits = 16;
    }
};

// A sine (played from frame 0 at full volume on the left) as the mixer makes it at a step in
// 32.32 frames, `frames` output frames after the first `settle` (the kernel's view of the
// silence before frame 0 has gone by then). The left channel, in the 16-bit scale.
inline std::vector<double> played(Interpolation interpolation, std::uint64_t step, int frames, const Sine& sine,
                                  int settle = 2048) {
    auto player = std::make_unique<Player>();
    configureOutput(*player, defaultOutputRate);
    player->interpolation = interpolation;
    Voice voice{};
    voice.sample = &sine.sample;
    voice.stepInt = static_cast<std::uint32_t>(step >> 32);
    voice.stepFrac = static_cast<std::uint32_t>(step);
    voice.direction = forward;
    voice.targetLeft = 255;
    voice.currentLeft = 255 * 256;
    std::vector<float> mix(2 * static_cast<std::size_t>(settle + frames), 0.0f);
    for (int done = 0; done < settle + frames; done += 1024)
        mixVoice(*player, voice, mix.data() + 2 * done, std::min(1024, settle + frames - done));
    std::vector<double> left(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) left[i] = mix[2 * static_cast<std::size_t>(settle + i)];
    return left;
}

// An in-place radix-2 FFT (the size a power of two).
inline void transform(std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> turn = std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(length));
        for (std::size_t start = 0; start < n; start += length) {
            std::complex<double> w = 1;
            for (std::size_t k = 0; k < length / 2; ++k, w *= turn) {
                const std::complex<double> even = x[start + k], odd = x[start + k + length / 2] * w;
                x[start + k] = even + odd;
                x[start + k + length / 2] = even - odd;
            }
        }
    }
}

struct Measure {
    double toneLevel;      // the sine's amplitude in the output, 16-bit scale
    double spurFreeRange;  // dB from the sine to the largest other component
};

// Measures the output `signal` (a power-of-two length) holding a sine of `cycles` per frame.
inline Measure measure(const std::vector<double>& signal, double cycles) {
    // Least squares of signal ~ a cos + b sin + c: the normal equations, solved by Cramer's rule.
    const std::size_t n = signal.size();
    double m[3][3] = {}, v[3] = {};
    std::vector<std::array<double, 3>> basis(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double phase = 2 * std::numbers::pi * cycles * static_cast<double>(i);
        basis[i] = {std::cos(phase), std::sin(phase), 1.0};
        for (int r = 0; r < 3; ++r) {
            v[r] += basis[i][r] * signal[i];
            for (int c = 0; c < 3; ++c) m[r][c] += basis[i][r] * basis[i][c];
        }
    }
    auto determinant = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double fit[3];
    for (int k = 0; k < 3; ++k) {
        double replaced[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) replaced[r][c] = c == k ? v[r] : m[r][c];
        fit[k] = determinant(replaced) / determinant(m);
    }
    std::vector<std::complex<double>> rest(n);
    double windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        windowSum += hann;
        rest[i] = hann * (signal[i] - fit[0] * basis[i][0] - fit[1] * basis[i][1] - fit[2] * basis[i][2]);
    }
    transform(rest);
    double largest = 0;
    for (std::size_t k = 0; k <= n / 2; ++k) largest = std::max(largest, std::abs(rest[k]));
    const double spur = 2 * largest / windowSum;
    const double tone = std::hypot(fit[0], fit[1]);
    return {tone, 20 * std::log10(tone / std::max(spur, 1e-30))};
}

inline std::uint64_t fixedStep(double step) { return static_cast<std::uint64_t>(std::llround(step * 0x1p32)); }

// The whole test at a step (frames per output frame).
inline Measure atStep(Interpolation interpolation, double step, int frames = 16384) {
    static const Sine sine;
    const double cycles = static_cast<double>(loopCycles) / loopFrames * (static_cast<double>(fixedStep(step)) * 0x1p-32);
    return measure(played(interpolation, fixedStep(step), frames, sine), cycles);
}

}  // namespace quarbtro::looped_sine
