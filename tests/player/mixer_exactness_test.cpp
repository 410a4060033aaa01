// The mixer's per-frame arithmetic, bit for bit, against a plain statement of it: random
// sample data, positions, steps, gains, ramps and buffer contents, in spans that meet no loop
// or sample boundary. The mixer's loops are tuned for speed; these results must not move.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "player/player.h"
#include "player/mixer.h"

namespace quarbtro {
namespace {

using Real = long double;
const float volumeToGain = std::bit_cast<float>(0x3B808080u);
const float weightPerHalfFraction = std::bit_cast<float>(0x2FFFF910u);

// One frame as the arithmetic states it: the interpolation and both products and sums in
// extended precision, each buffer element rounded to single precision when stored.
void referenceFrame(const std::int16_t* data, std::uint64_t position, float* out, Real gainLeft,
                    Real gainRight) {
    const std::uint32_t i = static_cast<std::uint32_t>(position >> 32);
    const Real s0 = data[i];
    const Real s1 = data[i + 1];
    const Real weight = Real(static_cast<std::uint32_t>(position) >> 1) * weightPerHalfFraction;
    const Real value = s0 + weight * (s1 - s0);
    out[0] = static_cast<float>(out[0] + value * gainLeft);
    out[1] = static_cast<float>(out[1] + value * gainRight);
}

Real targetGain(std::int32_t target) { return static_cast<float>(Real(target) * volumeToGain); }
Real currentGain(std::int32_t current) {
    return static_cast<float>(Real(current) * (1.0f / 256.0f) * volumeToGain);
}

class MixerExactness : public ::testing::Test {
protected:
    void SetUp() override { configureOutput(player, 44100); }

    Player player{};

    // Random sample data of one of a few kinds: full range, tiny values, silence, a loud sine.
    std::vector<std::int16_t> randomData(std::size_t length) {
        std::vector<std::int16_t> data(length + 8, 0);
        const int kind = static_cast<int>(random() % 4);
        for (std::size_t i = 0; i < length; ++i) {
            if (kind == 0) data[i] = static_cast<std::int16_t>(random());
            if (kind == 1) data[i] = static_cast<std::int16_t>(static_cast<int>(random() % 7) - 3);
            if (kind == 3) data[i] = static_cast<std::int16_t>(std::sin(i * 0.05) * 32000);
        }
        return data;
    }

    // What earlier voices left in the buffer: zeros, whole numbers, fractions, large values.
    std::vector<float> randomBuffer(int frames) {
        std::vector<float> buffer(2 * static_cast<std::size_t>(frames));
        for (float& value : buffer) {
            const int kind = static_cast<int>(random() % 4);
            if (kind == 0) value = 0.0f;
            if (kind == 1) value = static_cast<float>(static_cast<int>(random() % 65536) - 32768);
            if (kind == 2) value = std::ldexp(static_cast<float>(static_cast<std::int32_t>(random())), -40);
            if (kind == 3) value = static_cast<float>(static_cast<int>(random() % 200000) - 100000) / 3.0f;
        }
        return buffer;
    }

    // A voice somewhere in a long sample without loop, at a random step below 3 frames.
    Voice randomVoice(Sample& sample, int frames) {
        Voice voice{};
        voice.sample = &sample;
        const std::uint64_t step = (random() % 4 == 0) ? (random() % 3 + 1) << 32 : random() % (std::uint64_t{3} << 32) + 1;
        voice.stepInt = static_cast<std::uint32_t>(step >> 32);
        voice.stepFrac = static_cast<std::uint32_t>(step);
        const std::uint64_t room = sample.length - 4 * static_cast<std::uint64_t>(frames) - 2;
        const std::uint64_t position = (random() % room << 32) | (random() & 0xFFFFFFFF);
        voice.positionInt = static_cast<std::uint32_t>(position >> 32);
        voice.positionFrac = static_cast<std::uint32_t>(position);
        voice.direction = forward;
        voice.targetLeft = static_cast<std::int32_t>(random() % 128);
        voice.targetRight = static_cast<std::int32_t>(random() % 128);
        return voice;
    }

    static std::uint64_t position(const Voice& voice) {
        return (std::uint64_t{voice.positionInt} << 32) | voice.positionFrac;
    }
    static std::uint64_t step(const Voice& voice) {
        return (std::uint64_t{voice.stepInt} << 32) | voice.stepFrac;
    }

    static void expectSameBits(const std::vector<float>& expected, const std::vector<float>& actual) {
        ASSERT_EQ(expected.size(), actual.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(expected[i]), std::bit_cast<std::uint32_t>(actual[i]))
                << "element " << i << ": " << expected[i] << " expected, " << actual[i] << " mixed";
    }

    std::mt19937_64 random{20240};
    static constexpr std::size_t sampleLength = 20000;
};

// Steady voices: two frames at a time at the target gains; an odd last frame at the current
// gains, which differ from the targets when a ramp left a fraction behind.
TEST_F(MixerExactness, SteadyFramesMatchThePlainArithmetic) {
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<std::int16_t> data = randomData(sampleLength);
        Sample sample{data.data(), sampleLength, 0, sampleLength, 64, 0, 128, 16, loopNone, 0, {}};
        const int frames = static_cast<int>(random() % 300) + 1;
        Voice voice = randomVoice(sample, frames);
        voice.currentLeft = voice.targetLeft * 256 + (trial % 2 ? static_cast<std::int32_t>(random() % 256) : 0);
        voice.currentRight = voice.targetRight * 256 + (trial % 2 ? static_cast<std::int32_t>(random() % 256) : 0);
        std::vector<float> expected = randomBuffer(frames);
        std::vector<float> mixed = expected;

        std::uint64_t at = position(voice);
        for (int f = 0; f < frames; ++f, at += step(voice)) {
            const bool oddLast = f == frames - 1 && frames % 2 == 1;
            referenceFrame(data.data(), at, &expected[2 * f],
                           oddLast ? currentGain(voice.currentLeft) : targetGain(voice.targetLeft),
                           oddLast ? currentGain(voice.currentRight) : targetGain(voice.targetRight));
        }
        mixVoice(player, voice, mixed.data(), frames);
        expectSameBits(expected, mixed);
        ASSERT_EQ(position(voice), at);
    }
}

// A running ramp: each frame at the gain reached so far, the gain raised after the frame.
TEST_F(MixerExactness, RampFramesMatchThePlainArithmetic) {
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<std::int16_t> data = randomData(sampleLength);
        Sample sample{data.data(), sampleLength, 0, sampleLength, 64, 0, 128, 16, loopNone, 0, {}};
        const int frames = static_cast<int>(random() % 128) + 1;
        Voice voice = randomVoice(sample, frames);
        voice.currentLeft = static_cast<std::int32_t>(random() % (128 * 256));
        voice.currentRight = static_cast<std::int32_t>(random() % (128 * 256));
        voice.rampTargetLeft = voice.targetLeft;
        voice.rampTargetRight = voice.targetRight;
        voice.rampRemaining = frames + 1 + static_cast<std::int32_t>(random() % 8);
        voice.rampStepLeft = static_cast<float>(static_cast<int>(random() % 255) - 127) / 255.0f / 128.0f;
        voice.rampStepRight = static_cast<float>(static_cast<int>(random() % 255) - 127) / 255.0f / 128.0f;
        std::vector<float> expected = randomBuffer(frames);
        std::vector<float> mixed = expected;

        Real gainLeft = currentGain(voice.currentLeft);
        Real gainRight = currentGain(voice.currentRight);
        std::uint64_t at = position(voice);
        for (int f = 0; f < frames; ++f, at += step(voice)) {
            referenceFrame(data.data(), at, &expected[2 * f], gainLeft, gainRight);
            gainLeft += voice.rampStepLeft;
            gainRight += voice.rampStepRight;
        }
        const std::int32_t remaining = voice.rampRemaining - frames;
        mixVoice(player, voice, mixed.data(), frames);
        expectSameBits(expected, mixed);
        ASSERT_EQ(position(voice), at);
        ASSERT_EQ(voice.rampRemaining, remaining);
        ASSERT_EQ(voice.currentLeft, static_cast<std::int32_t>(std::lrint(gainLeft * Real(255.0f) * Real(256.0f))));
        ASSERT_EQ(voice.currentRight, static_cast<std::int32_t>(std::lrint(gainRight * Real(255.0f) * Real(256.0f))));
    }
}

// Frames whose sum lies so close to a rounding boundary of single precision that double
// precision would round them the other way (one in some 10^8 random frames): found by search.
TEST_F(MixerExactness, FramesThatDoublePrecisionWouldRoundOtherwise) {
    struct Case {
        std::int16_t s0, s1;
        std::uint32_t fraction;
        std::int32_t volume;
        std::uint32_t bufferBits;
    };
    const Case cases[] = {
        {19962, -9601, 0x3E9999FDu, 100, 0xC6CD0CA4u},  {-20457, 27985, 0x040E0D50u, 58, 0x45C91852u},
        {20405, -14929, 0x250A01C5u, 86, 0x45721290u},  {10952, 5641, 0xD7B65C5Bu, 39, 0x46A2AFF1u},
        {14164, -18470, 0xA0A619B7u, 107, 0x455D2AE1u}, {-23751, -22019, 0x935D8617u, 96, 0x4606F51Fu},
        {-32298, -24767, 0x85FDCC39u, 89, 0x461AA600u},
    };
    for (const Case& c : cases) {
        std::int16_t data[16] = {c.s0, c.s1, c.s1};
        Sample sample{data, 3, 0, 3, 64, 0, 128, 16, loopNone, 0, {}};
        // Alone (an odd frame at the current gains) and first of a pair (at the target gains).
        for (int frames : {1, 2}) {
            Voice voice{};
            voice.sample = &sample;
            voice.positionFrac = c.fraction;
            voice.stepFrac = 1;
            voice.direction = forward;
            voice.targetLeft = voice.targetRight = c.volume;
            voice.currentLeft = voice.currentRight = c.volume * 256;
            std::vector<float> expected(4, std::bit_cast<float>(c.bufferBits));
            std::vector<float> mixed = expected;
            for (int f = 0; f < frames; ++f)
                referenceFrame(data, std::uint64_t{c.fraction} + f, &expected[2 * f], targetGain(c.volume),
                               targetGain(c.volume));
            mixVoice(player, voice, mixed.data(), frames);
            expectSameBits(expected, mixed);
        }
    }
}

// Every kind of float, in a buffer long enough for the vector part and an odd tail.
TEST_F(MixerExactness, ConversionRoundsHalfToEvenAndClampsEverywhere) {
    const int frames = 1001;
    std::vector<float> buffer(2 * frames);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const int kind = static_cast<int>(i % 5);
        const int whole = static_cast<int>(random() % 80000) - 40000;
        if (kind == 0) buffer[i] = static_cast<float>(whole) + 0.5f;  // ties
        if (kind == 1) buffer[i] = static_cast<float>(whole);
        if (kind == 2) buffer[i] = static_cast<float>(whole) / 7.0f;
        if (kind == 3) buffer[i] = static_cast<float>(whole) * 1e6f;  // far out of range
        if (kind == 4) buffer[i] = std::ldexp(static_cast<float>(whole), -20);
    }
    std::vector<std::int16_t> converted(buffer.size());
    convertToS16(converted.data(), buffer.data(), frames);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const float clamped = std::fmin(std::fmax(buffer[i], -32768.0f), 32767.0f);
        ASSERT_EQ(converted[i], static_cast<std::int16_t>(std::nearbyint(clamped))) << i << ": " << buffer[i];
    }
}

}  // namespace
}  // namespace quarbtro
