// The voice mixer against known answers: loops and reflections, the segment division at its
// edges, volume ramps and the final conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "player/player.h"
#include "player/mixer.h"

namespace quarbtro {
namespace {

// A sample whose frame i holds value(i), with the guard frame and padding the loader adds.
struct TestSample {
    std::vector<std::int16_t> frames;
    Sample sample{};

    TestSample(std::uint32_t length, std::uint8_t loopType, std::uint32_t loopStart,
               std::uint32_t loopLength, std::int16_t (*value)(std::uint32_t)) {
        frames.assign(length + 8, 0);
        for (std::uint32_t i = 0; i < length; ++i) frames[i] = value(i);
        if (loopType == loopForward) frames[loopStart + loopLength] = frames[loopStart];
        if (loopType == loopPingPong) frames[loopStart + loopLength] = frames[loopStart + loopLength - 1];
        sample.data = frames.data();
        sample.length = length;
        sample.loopType = loopType;
        sample.loopStart = loopType == loopNone ? 0 : loopStart;
        sample.loopLength = loopType == loopNone ? length : loopLength;
        sample.bits = 16;
    }
};

std::int16_t indexTimesTen(std::uint32_t i) { return static_cast<std::int16_t>(i * 10); }
std::int16_t constant1000(std::uint32_t) { return 1000; }

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { configureOutput(player, 44100); }

    Player player{};

    // A voice playing `sample` at full left volume with no ramp pending.
    static Voice steadyVoice(Sample& sample, std::uint32_t positionInt, std::uint64_t step) {
        Voice voice{};
        voice.sample = &sample;
        voice.positionInt = positionInt;
        voice.stepInt = static_cast<std::uint32_t>(step >> 32);
        voice.stepFrac = static_cast<std::uint32_t>(step);
        voice.direction = forward;
        voice.targetLeft = 255;
        voice.currentLeft = 255 * 256;
        return voice;
    }

    // The sample value a left output frame carries at the steady gain of volume 255.
    double leftValue(int frame) const { return buffer[2 * frame] / (255 * (1 / 255.0)); }

    std::vector<float> buffer = std::vector<float>(2 * 4096, 0.0f);
};

constexpr std::uint64_t oneFrame = std::uint64_t{1} << 32;

TEST_F(MixerTest, SilentVoiceAddsNothingAndStaysAsItIs) {
    Voice voice{};
    voice.targetLeft = 100;
    mixVoice(player, voice, buffer.data(), 512);
    for (float value : buffer) ASSERT_EQ(value, 0.0f);
    EXPECT_EQ(voice.rampRemaining, 0);
    EXPECT_EQ(voice.currentLeft, 0);
}

TEST_F(MixerTest, ForwardLoopWrapsAndGoesOnInTheSameCall) {
    TestSample looped(1500, loopForward, 1000, 500, indexTimesTen);
    Voice voice = steadyVoice(looped.sample, 1400, oneFrame);
    mixVoice(player, voice, buffer.data(), 200);
    for (int f = 0; f < 100; ++f) ASSERT_NEAR(leftValue(f), (1400 + f) * 10, 0.01) << f;
    for (int f = 100; f < 200; ++f) ASSERT_NEAR(leftValue(f), (1000 + f - 100) * 10, 0.01) << f;
    EXPECT_EQ(voice.positionInt, 1100u);
    EXPECT_EQ(voice.positionFrac, 0u);
    EXPECT_EQ(buffer[2 * 200], 0.0f);
}

TEST_F(MixerTest, PingPongReflectsJustBelowTheLoopEnd) {
    TestSample bouncing(150, loopPingPong, 100, 50, indexTimesTen);
    Voice voice = steadyVoice(bouncing.sample, 148, oneFrame);
    mixVoice(player, voice, buffer.data(), 2);
    EXPECT_NEAR(leftValue(0), 1480, 0.01);
    EXPECT_NEAR(leftValue(1), 1490, 0.01);
    EXPECT_EQ(voice.positionInt, 149u);
    EXPECT_EQ(voice.positionFrac, 0xFFFFFFFFu);
    EXPECT_EQ(voice.direction, backward);

    // Backward from 149.99..: the weight still goes toward the next higher frame.
    mixVoice(player, voice, buffer.data() + 4, 49);
    EXPECT_NEAR(leftValue(2), 1490, 0.01);    // 149.99 between 149 and the guard (149)
    EXPECT_NEAR(leftValue(3), 1489.99, 0.01); // 148.99
    EXPECT_NEAR(leftValue(50), 1019.99, 0.01);  // 101.99
    // 49 frames later the position passes the loop start and comes back forward.
    mixVoice(player, voice, buffer.data() + 102, 3);
    EXPECT_EQ(voice.direction, forward);
    EXPECT_GE(voice.positionInt, 100u);
}

TEST_F(MixerTest, NonLoopingSampleSoundsToItsEndThenFallsSilent) {
    TestSample once(1000, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(once.sample, 0, oneFrame / 2);
    mixVoice(player, voice, buffer.data(), 2048);
    int sounding = 0;
    for (int f = 0; f < 2048; ++f) sounding += buffer[2 * f] != 0.0f;
    EXPECT_EQ(sounding, 2000);
    EXPECT_NE(buffer[2 * 1999], 0.0f);
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.positionInt, 0u);
    EXPECT_EQ(voice.positionFrac, 0u);
}

TEST_F(MixerTest, EmptySampleEndsAtOnceAndKeepsItsRamp) {
    Sample empty{};
    Voice voice{};
    voice.sample = &empty;
    voice.direction = forward;
    voice.stepInt = 1;
    voice.targetLeft = 100;
    mixVoice(player, voice, buffer.data(), 512);
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.rampRemaining, 128);  // set up in the empty segment, no frame spent
    EXPECT_EQ(voice.currentLeft, 0);
    for (float value : buffer) ASSERT_EQ(value, 0.0f);
}

// Frames outside the loop hold 30,000; the loop itself holds small values. A position left
// outside the loop would show as a large output.
std::int16_t loudOutsideLoop(std::uint32_t i) { return i >= 10 && i < 13 ? 100 : 30000; }

TEST_F(MixerTest, StepLongerThanTheLoopComesBackInside) {
    for (std::uint8_t type : {loopForward, loopPingPong}) {
        TestSample looped(20, type, 10, 3, loudOutsideLoop);
        Voice voice = steadyVoice(looped.sample, 10, 7 * oneFrame + 12345);
        std::fill(buffer.begin(), buffer.end(), 0.0f);
        mixVoice(player, voice, buffer.data(), 1000);
        for (int f = 0; f < 1000; ++f) ASSERT_LE(std::abs(leftValue(f)), 100.01) << int(type) << " " << f;
        EXPECT_GE(voice.positionInt, 10u);
        EXPECT_LT(voice.positionInt, 13u);
    }
}

TEST_F(MixerTest, RampReachesTheTargetInExactly128Frames) {
    TestSample held(4000, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(held.sample, 0, oneFrame);
    voice.targetLeft = 100;
    voice.currentLeft = 0;
    mixVoice(player, voice, buffer.data(), 300);
    EXPECT_EQ(buffer[0], 0.0f);  // the first ramp frame uses the starting gain
    for (int f = 1; f < 128; ++f) {
        ASSERT_GT(buffer[2 * f], buffer[2 * (f - 1)]) << f;
        ASSERT_NEAR(buffer[2 * f], 1000.0 * 100 / 255 * f / 128, 0.05) << f;
    }
    const float steady = buffer[2 * 128];
    EXPECT_NEAR(steady, 1000.0 * 100 / 255, 0.01);
    for (int f = 128; f < 300; ++f) ASSERT_EQ(buffer[2 * f], steady) << f;
    EXPECT_EQ(voice.currentLeft, 25600);
    EXPECT_EQ(voice.rampRemaining, 0);
    EXPECT_EQ(buffer[1], 0.0f);  // the right side stays silent
}

TEST_F(MixerTest, TargetChangedMidRampStartsANewRampFromTheVolumeReached) {
    TestSample held(4000, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(held.sample, 0, oneFrame);
    voice.targetLeft = 100;
    voice.currentLeft = 0;
    mixVoice(player, voice, buffer.data(), 64);
    EXPECT_EQ(voice.rampRemaining, 64);
    EXPECT_NEAR(voice.currentLeft, 12800, 2);
    voice.targetLeft = 0;
    mixVoice(player, voice, buffer.data() + 128, 200);
    EXPECT_NEAR(buffer[128], 1000.0 * 50 / 255, 0.1);  // carries on from half way
    EXPECT_LT(buffer[130], buffer[128]);
    EXPECT_GT(buffer[2 * (64 + 127)], 0.0f);  // still falling 127 frames into the new ramp
    EXPECT_EQ(buffer[2 * (64 + 128)], 0.0f);
    EXPECT_EQ(voice.currentLeft, 0);
}

// Muting a channel while it plays (xmplay's keys) fades its voices out over one ramp, as a
// volume change would, and unmuting fades them back in; channel 3 plays on voice 3 or 35.
TEST_F(MixerTest, MutingFadesTheChannelsVoicesOutAndBackIn) {
    TestSample held(4000, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(held.sample, 0, oneFrame);
    voice.index = 35;
    player.mutedChannels.store(1u << 3);
    mixVoice(player, voice, buffer.data(), 200);
    EXPECT_GT(buffer[2 * 100], 0.0f);  // still fading
    EXPECT_EQ(buffer[2 * 128], 0.0f);
    EXPECT_EQ(buffer[2 * 199], 0.0f);
    EXPECT_EQ(voice.targetLeft, 255);  // the song's own volume is left as it is
    player.mutedChannels.store(1u << 4);
    mixVoice(player, voice, buffer.data() + 400, 200);
    EXPECT_NEAR(buffer[400 + 2 * 128], 1000, 0.01);
}

TEST_F(MixerTest, InterpolationWeightNeverReachesOne) {
    std::int16_t frames[10] = {0, 10000};
    Sample sample{};
    sample.data = frames;
    sample.length = 2;
    sample.loopLength = 2;
    sample.loopType = loopNone;
    Voice voice = steadyVoice(sample, 0, oneFrame);
    voice.positionFrac = 0xFFFFFFFF;
    mixVoice(player, voice, buffer.data(), 1);
    EXPECT_GT(leftValue(0), 9998.9);
    EXPECT_LT(leftValue(0), 9999.0);
}

// The shortened division can end a segment a fraction of a frame short of the boundary; at a
// loop that starts at frame 0 that must not take the position below zero.
TEST_F(MixerTest, ForwardLoopAtFrameZeroReachedEarlyRestartsAtZero) {
    TestSample looped(101, loopForward, 0, 101, indexTimesTen);
    Voice voice = steadyVoice(looped.sample, 0, oneFrame);
    voice.positionFrac = 0xFFFFFFFF - 99;  // 100 frames reach 100.99999998, not 101
    mixVoice(player, voice, buffer.data(), 150);
    EXPECT_EQ(voice.positionInt, 50u);
    EXPECT_EQ(voice.positionFrac, 0u);
    for (int f = 100; f < 150; ++f) ASSERT_NEAR(leftValue(f), (f - 100) * 10, 0.01) << f;
}

TEST_F(MixerTest, PingPongAtFrameZeroNeverReadsBeforeTheData) {
    TestSample bouncing(100, loopPingPong, 0, 100, indexTimesTen);
    // Reached a fraction early: 100 frames back from 100.00000002 stop 100 units above 0.
    Voice early = steadyVoice(bouncing.sample, 100, oneFrame);
    early.positionFrac = 100;
    early.direction = backward;
    mixVoice(player, early, buffer.data(), 100);
    EXPECT_EQ(early.direction, forward);
    EXPECT_EQ(early.positionInt, 0u);
    EXPECT_EQ(early.positionFrac, 0u);

    // A step whose low bits the division drops: the rounded-up quotient is one frame too
    // many, which would mix a frame two frames before the data.
    const std::uint64_t step = oneFrame + 255;
    Voice exact = steadyVoice(bouncing.sample, 0, step);
    exact.positionInt = static_cast<std::uint32_t>((100 * step) >> 32);
    exact.positionFrac = static_cast<std::uint32_t>(100 * step);
    exact.direction = backward;
    mixVoice(player, exact, buffer.data(), 100);
    EXPECT_EQ(exact.direction, forward);
    EXPECT_EQ(exact.positionInt, 0u);
    mixVoice(player, exact, buffer.data(), 50);
    EXPECT_EQ(exact.positionInt, 50u);
}

// FT2 profile (volumeRampsAsFt2): a slid volume ramps over the whole tick, in two-frame treads
// that stay within one step of the straight line and end on the target.
TEST_F(MixerTest, TickLongRampClimbsInPairsToItsTarget) {
    TestSample held(4000, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(held.sample, 0, oneFrame);
    voice.targetLeft = 200;
    voice.currentLeft = 100 * 256;
    voice.rampFrames = 882;
    mixVoice(player, voice, buffer.data(), 500);  // the ramp goes on across calls
    mixVoice(player, voice, buffer.data() + 1000, 500);
    const double start = 1000.0 * 100 / 255, step = 1000.0 * 100 / 255 / 882;
    for (int f = 0; f < 882; f += 2) {
        ASSERT_EQ(buffer[2 * f], buffer[2 * f + 2]) << f;
        ASSERT_NEAR(buffer[2 * f], start + f * step, 0.01) << f;
    }
    for (int f = 882; f < 1000; ++f) ASSERT_NEAR(buffer[2 * f], 2 * start, 0.01) << f;
    EXPECT_EQ(voice.rampRemaining, 0);
    EXPECT_EQ(voice.currentLeft, 200 * 256);
}

// FT2 profile (endOfSampleDeclick): a sample that ends without a loop fades its last value out,
// 1/256 a frame, until it is far below a 16-bit step.
TEST_F(MixerTest, EndedSampleFadesItsLastValueOut) {
    player.rules.endOfSampleDeclick = true;
    TestSample once(100, loopNone, 0, 0, constant1000);
    Voice voice = steadyVoice(once.sample, 0, oneFrame);
    mixVoice(player, voice, buffer.data(), 2048);
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_NEAR(leftValue(99), 1000, 0.01);
    for (int f = 100; f < 2048; ++f) ASSERT_NEAR(leftValue(f), leftValue(f - 1) * 255 / 256, 0.001) << f;
    EXPECT_GT(voice.tailLeft, 0.0f);
    mixVoice(player, voice, buffer.data(), 2048);
    EXPECT_EQ(voice.tailLeft, 0.0f);
    EXPECT_EQ(buffer[1], 0.0f);
}

TEST(ConvertToS16, RoundsHalfToEvenAndClamps) {
    const float in[] = {40000.0f, -40000.0f, 2.5f, 3.5f, -0.5f, -1.5f, 32767.4f, -32768.6f};
    std::int16_t out[8] = {};
    // 40,000, -40,000 and -32,768.6 do not fit 16 bits; 32,767.4 rounds to 32,767.
    EXPECT_EQ(convertToS16(out, in, 4), 3);
    const std::int16_t expected[] = {32767, -32768, 2, 4, 0, -2, 32767, -32768};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]) << i;
    // The same count four at a time and one at a time (the last two samples).
    const float more[10] = {0, 32768, 0, 0, 0, 0, 0, -32769, 0, 99999};
    std::int16_t moreOut[10];
    EXPECT_EQ(convertToS16(moreOut, more, 5), 3);
}

TEST(ConvertToS16, DoesNothingForNoFramesOrNoBuffer) {
    const float in[2] = {5.0f, 6.0f};
    std::int16_t out[2] = {7, 7};
    convertToS16(out, in, 0);
    convertToS16(nullptr, in, 1);
    convertToS16(out, nullptr, 1);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[1], 7);
}

}  // namespace
}  // namespace quarbtro
