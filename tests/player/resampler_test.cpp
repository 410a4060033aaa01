// The interpolations on a looped sine: how clean each keeps it at steps from 0.25 to 4 (the
// spur-free range), the band-limited one filtering out what the output cannot hold, and the
// frames around a loop as the voice hears them.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "tests/player/looped_sine.h"

namespace quarbtro {
namespace {

constexpr double steps[] = {0.25, 0.38, 0.5, 0.73, 1.27, 1.52, 2.7, 4.0};

TEST(Resampler, SincKeepsEverySpur80DbDownFromAQuarterToFourFrames) {
    for (double step : steps) EXPECT_GE(looped_sine::atStep(Interpolation::sinc, step).spurFreeRange, 80) << step;
}

TEST(Resampler, CubicKeepsEverySpur44DbDown) {
    for (double step : steps) EXPECT_GE(looped_sine::atStep(Interpolation::cubic, step).spurFreeRange, 44) << step;
}

TEST(Resampler, TheMeasureTellsTheInterpolationsApart) {
    // Linear interpolation leaves images some 35 dB down, the frame alone some 20 dB.
    const double linear = looped_sine::atStep(Interpolation::linear, 1.52).spurFreeRange;
    const double none = looped_sine::atStep(Interpolation::none, 1.52).spurFreeRange;
    EXPECT_LT(linear, 44);
    EXPECT_LT(none, linear);
}

// A sine at 0.4 cycles a frame played at 1.52 frames a step would sound at 0.61 cycles an
// output frame, above the output's Nyquist frequency: it can only fold back, as an alias.
TEST(Resampler, SincFiltersOutWhatWouldFoldBack) {
    const looped_sine::Sine high(400, 1000);
    auto rms = [&](Interpolation interpolation) {
        const auto out = looped_sine::played(interpolation, looped_sine::fixedStep(1.52), 8192, high);
        return std::sqrt(std::inner_product(out.begin(), out.end(), out.begin(), 0.0) / out.size());
    };
    const double folded = rms(Interpolation::linear);
    EXPECT_GT(folded, looped_sine::amplitude / 4);  // linear lets it through
    EXPECT_LT(20 * std::log10(rms(Interpolation::sinc) / folded), -80);
}

// A sample of 1,000 everywhere the voice plays it, and -30,000 past its loop end, where it
// never goes: whatever reads around the position must hear only 1,000, across every turn of
// the loop, in both kinds of loop and at steps small and large.
TEST(Resampler, AroundALoopOnlyWhatIsPlayedIsHeard) {
    std::vector<std::int16_t> frames(400 + 8, 1000);
    std::fill(frames.begin() + 300, frames.begin() + 400, std::int16_t{-30000});
    for (std::uint8_t loopType : {loopForward, loopPingPong}) {
        Sample sample{};
        sample.data = frames.data();
        sample.length = 400;
        sample.loopType = loopType;
        sample.loopStart = 100;
        sample.loopLength = 200;
        sample.bits = 16;
        frames[300] = 1000;  // the guard frame
        for (Interpolation interpolation : {Interpolation::cubic, Interpolation::sinc}) {
            for (double step : {0.37, 2.9}) {
                auto player = std::make_unique<Player>();
                configureOutput(*player, defaultOutputRate);
                player->interpolation = interpolation;
                Voice voice{};
                voice.sample = &sample;
                voice.positionInt = 200;  // far enough from frame 0 for the widest reach here
                voice.stepInt = static_cast<std::uint32_t>(looped_sine::fixedStep(step) >> 32);
                voice.stepFrac = static_cast<std::uint32_t>(looped_sine::fixedStep(step));
                voice.direction = forward;
                voice.targetLeft = 255;
                voice.currentLeft = 255 * 256;
                std::vector<float> mix(2 * 4096, 0.0f);
                mixVoice(*player, voice, mix.data(), 4096);
                for (int f = 0; f < 4096; ++f)
                    ASSERT_NEAR(mix[2 * f], 1000, 0.05) << "loop type " << int(loopType) << ", step " << step
                                                         << ", frame " << f;
                EXPECT_EQ(voice.looped, 1);
            }
        }
    }
}

}  // namespace
}  // namespace quarbtro
