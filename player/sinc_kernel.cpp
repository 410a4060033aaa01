#include "player/sinc_kernel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarbtro {

namespace {

constexpr int zeroCrossings = 16;      // of the kernel, each side of its centre
constexpr double cutoff = 0.92;        // of the Nyquist frequency
constexpr double kaiserBeta = 9.0;
constexpr int narrowPhases = 1024;     // between two frames, at steps up to 1
constexpr int bandsPerOctave = 8;
constexpr int bandCount = 3 * bandsPerOctave + 1;  // steps 1 .. 8
constexpr int curveResolution = 1024;  // entries of the kernel's curve per zero crossing
static_assert(sincWidestReach >= zeroCrossings * sincWidestStep / cutoff);

// The modified Bessel function of the first kind, order 0, by its power series (every term is
// positive, so the sum converges without cancellation).
double besselI0(double x) {
    double sum = 1, term = 1;
    const double quarterSquare = x * x / 4;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

// The kernel at 0 <= u < zeroCrossings zero crossings from its centre, but for the window's
// scale (the same for every u, and the weights are scaled to sum to 1 anyway).
double kernel(double u) {
    const double sinc = u == 0 ? 1 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
    const double edge = u / zeroCrossings;
    return sinc * besselI0(kaiserBeta * std::sqrt(1 - edge * edge));
}

double bandStep(int band) { return std::exp2(static_cast<double>(band) / bandsPerOctave); }

struct Tables {
    std::vector<float> storage;
    SincBand bands[bandCount];

    Tables() {
        // The kernel's curve, finely, then each band's phases from it.
        std::vector<double> curve(zeroCrossings * curveResolution + 2, 0.0);
        for (int e = 0; e < zeroCrossings * curveResolution; ++e)
            curve[static_cast<std::size_t>(e)] = kernel(static_cast<double>(e) / curveResolution);
        auto curveAt = [&](double u) {
            const double x = std::fabs(u) * curveResolution;
            const auto entry = static_cast<std::size_t>(x);
            if (entry + 1 >= curve.size()) return 0.0;
            return curve[entry] + (x - static_cast<double>(entry)) * (curve[entry + 1] - curve[entry]);
        };
        std::size_t offsets[bandCount], size = 0;
        for (int b = 0; b < bandCount; ++b) {
            const double step = bandStep(b);
            SincBand& band = bands[b];
            band.reach = static_cast<int>(std::ceil(zeroCrossings * step / cutoff));
            band.taps = (2 * band.reach + 3) & ~3;
            band.phases = static_cast<int>(std::ceil(narrowPhases / step));
            offsets[b] = size;
            size += static_cast<std::size_t>(band.phases + 1) * band.taps;
        }
        storage.resize(size);
        for (int b = 0; b < bandCount; ++b) {
            const double step = bandStep(b);
            const SincBand& band = bands[b];
            for (int p = 0; p <= band.phases; ++p) {
                float* row = &storage[offsets[b] + static_cast<std::size_t>(p) * band.taps];
                double weights[2 * sincWidestReach + 4], sum = 0;
                for (int j = 0; j < band.taps; ++j) {
                    const double distance = (j - band.reach + 1) - static_cast<double>(p) / band.phases;
                    sum += weights[j] = curveAt(distance * cutoff / step);
                }
                for (int j = 0; j < band.taps; ++j) row[j] = static_cast<float>(weights[j] / sum);
            }
        }
        for (int b = 0; b < bandCount; ++b) bands[b].weights = &storage[offsets[b]];
    }
};

const Tables& tables() {
    static const Tables made;
    return made;
}

}  // namespace

const SincBand& sincBand(double step) {
    const double band = std::ceil(bandsPerOctave * std::log2(std::max(step, 1.0)) - 1e-9);
    return tables().bands[static_cast<int>(std::clamp(band, 0.0, bandCount - 1.0))];
}

float sincValue(const std::int16_t* frames, double fraction, const SincBand& band) {
    const double where = fraction * band.phases;
    const int phase = static_cast<int>(where);
    const float* weights = band.weights + static_cast<std::size_t>(phase) * band.taps;
    const float* next = weights + band.taps;
    const float blend = static_cast<float>(where - phase);
    const std::int16_t* first = frames + 1 - band.reach;
#if defined(__SSE2__)
    // Four frames at a time, each weight a blend of its two phases.
    __m128 sum = _mm_setzero_ps();
    const __m128 share = _mm_set1_ps(blend);
    for (int j = 0; j < band.taps; j += 4) {
        const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(first + j));
        const __m128 values = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(four, four), 16));
        const __m128 here = _mm_loadu_ps(weights + j);
        const __m128 weight = _mm_add_ps(here, _mm_mul_ps(share, _mm_sub_ps(_mm_loadu_ps(next + j), here)));
        sum = _mm_add_ps(sum, _mm_mul_ps(values, weight));
    }
    float lanes[4];
    _mm_storeu_ps(lanes, sum);
#else
    float lanes[4] = {};
    for (int j = 0; j < band.taps; ++j) lanes[j & 3] += first[j] * (weights[j] + blend * (next[j] - weights[j]));
#endif
    return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

}  // namespace quarbtro
