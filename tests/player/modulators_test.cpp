// The channel modulators against worked values.
#include <gtest/gtest.h>

#include <vector>

#include "player/modulators.h"
#include "player/volume_column.h"

namespace quarbtro {
namespace {

// The design's rules (the profile's, every one off), and a song for what a rule may ask of it.
const PlaybackRules designRules{};
const Module linearSong{};

TEST(AmigaPeriod, KnownNotesAndFinetunes) {
    EXPECT_EQ(amigaPeriod(48, 0), 1712);
    EXPECT_EQ(amigaPeriod(0, 0), 27392);
    EXPECT_EQ(amigaPeriod(95, 0), 113);
    EXPECT_EQ(amigaPeriod(48, 127), 1616);   // 127/128 of the way to the next higher semitone
    EXPECT_EQ(amigaPeriod(48, -128), 1813);  // exactly on the next lower semitone
    EXPECT_EQ(amigaPeriod(0, -128), 28930);  // note 0 scales by the distance upward
    EXPECT_EQ(amigaPeriod(1, -128), 27392);
}

// A channel fresh from an instrument reset, and an instrument with the given volume envelope.
struct EnvelopeCase {
    Channel channel{};
    Instrument instrument{};

    EnvelopeCase(std::vector<EnvelopePoint> points, std::uint8_t flags) {
        for (std::size_t i = 0; i < points.size(); ++i) instrument.volumeEnvelope[i] = points[i];
        instrument.volumePointCount = static_cast<std::uint8_t>(points.size());
        instrument.volumeEnvelopeFlags = flags;
        channel.volEnvVolume = 64;
    }
    int step() {
        channel.flags = 0;
        if (!channel.volEnvDone)
            stepEnvelope(channel, volumeEnvelopeState(channel), volumeEnvelopeShape(instrument), updateVolume);
        EXPECT_TRUE(channel.flags & updateVolume || channel.volEnvDone);
        return channel.volEnvVolume;
    }
};

TEST(Envelope, FallsAlongItsSlopeAndFinishesAtTheLastPoint) {
    EnvelopeCase envelope({{0, 64}, {10, 0}}, envelopeOn);
    const int expected[] = {64, 57, 51, 44, 38, 32, 25, 19, 12, 6};  // slope -6.4 per tick, truncated
    for (int tick = 0; tick < 10; ++tick) EXPECT_EQ(envelope.step(), expected[tick]) << tick;
    EXPECT_EQ(envelope.channel.volEnvDone, 0);
    EXPECT_EQ(envelope.step(), 0);
    EXPECT_EQ(envelope.channel.volEnvDone, 1);
    EXPECT_EQ(envelope.channel.volEnvSlope, -419430);
}

TEST(Envelope, SustainHoldsUntilKeyOff) {
    EnvelopeCase envelope({{0, 64}, {2, 32}, {4, 0}}, envelopeOn | envelopeSustain);
    envelope.instrument.volumeSustainPoint = 1;
    envelope.step();
    envelope.step();
    for (int tick = 0; tick < 20; ++tick) ASSERT_EQ(envelope.step(), 32);
    envelope.channel.keyOff = 1;
    EXPECT_EQ(envelope.step(), 32);
    EXPECT_EQ(envelope.step(), 16);
    EXPECT_EQ(envelope.step(), 0);
    EXPECT_EQ(envelope.channel.volEnvDone, 1);
}

TEST(Envelope, LoopEndingAtTheLastPointLoopsForever) {
    EnvelopeCase envelope({{0, 0}, {2, 64}, {4, 32}}, envelopeOn | envelopeLoop);
    envelope.instrument.volumeLoopStart = 1;
    envelope.instrument.volumeLoopEnd = 2;
    std::vector<int> outputs;
    for (int tick = 0; tick < 9; ++tick) outputs.push_back(envelope.step());
    EXPECT_EQ(outputs, (std::vector<int>{0, 32, 64, 48, 64, 48, 64, 48, 64}));
    EXPECT_EQ(envelope.channel.volEnvDone, 0);
}

TEST(Envelope, PointsAtTheSameTickGiveNoSlope) {
    EnvelopeCase envelope({{0, 64}, {0, 10}, {5, 10}}, envelopeOn);
    envelope.step();
    EXPECT_EQ(envelope.channel.volEnvSlope, 0);
}

TEST(AutoVibrato, SineQuartersAtDepth16) {
    Instrument instrument{};
    instrument.autoVibratoDepth = 16;
    instrument.autoVibratoRate = 64;
    Channel channel{};
    std::vector<int> deltas;
    for (int tick = 0; tick < 4; ++tick) {
        channel.periodDelta = 0;
        stepAutoVibrato(designRules, channel, instrument);
        deltas.push_back(channel.periodDelta);
        EXPECT_TRUE(channel.flags & updateFrequency);
    }
    EXPECT_EQ(deltas, (std::vector<int>{0, 15, 0, -16}));
}

TEST(AutoVibrato, SweepStartsFromNothing) {
    Instrument instrument{};
    instrument.autoVibratoType = 1;  // square: 64 for the first half
    instrument.autoVibratoDepth = 8;
    instrument.autoVibratoSweep = 4;
    Channel channel{};
    std::vector<int> deltas;
    for (int tick = 0; tick < 6; ++tick) {
        channel.periodDelta = 0;
        stepAutoVibrato(designRules, channel, instrument);
        deltas.push_back(channel.periodDelta);
    }
    EXPECT_EQ(deltas, (std::vector<int>{0, 2, 4, 6, 8, 8}));
}

TEST(Vibrato, SineAtPhase16AndDepth8) {
    Channel channel{};
    channel.vibratoPos = 16;
    channel.vibratoDepth = 8;
    applyVibrato(channel);
    EXPECT_EQ(channel.periodDelta, -60);
    channel.vibratoPos = -16;
    applyVibrato(channel);
    EXPECT_EQ(channel.periodDelta, 60);
    channel.vibratoSpeed = 20;
    channel.vibratoPos = 16;
    advanceVibrato(channel);
    EXPECT_EQ(channel.vibratoPos, -28);  // 36 wraps by 64
}

TEST(Tremolo, KeepsTheVolumeWithin0To64) {
    for (std::uint8_t waveform : {0x00, 0x10, 0x20}) {
        Channel channel{};
        channel.waveControl = waveform;
        channel.tremoloDepth = 15;
        channel.tremoloSpeed = 5;
        for (int volume : {0, 3, 32, 60, 64}) {
            channel.volume = volume;
            for (int tick = 0; tick < 64; ++tick) {
                stepTremolo(designRules, channel);
                ASSERT_GE(channel.volume + channel.volumeDelta, 0);
                ASSERT_LE(channel.volume + channel.volumeDelta, 64);
            }
        }
    }
}

TEST(Tremor, OnThreeTicksOffTwo) {
    Channel channel{};
    channel.volume = 40;
    channel.tremorOn = 3;
    channel.tremorOff = 2;
    std::vector<int> audible;
    for (int tick = 0; tick < 10; ++tick) {
        channel.volumeDelta = 0;
        stepTremor(channel);
        audible.push_back(channel.volume + channel.volumeDelta);
    }
    EXPECT_EQ(audible, (std::vector<int>{40, 40, 40, 0, 0, 40, 40, 40, 0, 0}));
}

TEST(TonePortamento, StopsAtTheTarget) {
    Channel channel{};
    channel.period = 1712;
    channel.portaTarget = 1600;
    channel.portaSpeed = 16;
    stepTonePortamento(designRules, linearSong, channel);
    EXPECT_EQ(channel.period, 1648);
    stepTonePortamento(designRules, linearSong, channel);
    EXPECT_EQ(channel.period, 1600);
    channel.flags = 0;
    stepTonePortamento(designRules, linearSong, channel);
    EXPECT_EQ(channel.period, 1600);
    EXPECT_TRUE(channel.flags & updateFrequency);
}

TEST(VolumeColumn, RowTickMeanings) {
    Channel channel{};
    channel.volume = 20;
    volumeColumnRowTick(designRules, linearSong, channel, 0x55);
    EXPECT_EQ(channel.volume, 20);
    EXPECT_EQ(channel.flags, 0);
    volumeColumnRowTick(designRules, linearSong, channel, 0x50);
    EXPECT_EQ(channel.volume, 64);
    volumeColumnRowTick(designRules, linearSong, channel, 0x7F);
    EXPECT_EQ(channel.volume, 64);
    volumeColumnRowTick(designRules, linearSong, channel, 0x83);
    EXPECT_EQ(channel.volume, 61);
    volumeColumnRowTick(designRules, linearSong, channel, 0xC8);
    EXPECT_EQ(channel.panning, 128);
    channel.panning = 2;
    volumeColumnRowTick(designRules, linearSong, channel, 0xD5);
    EXPECT_EQ(channel.panning, -3);  // not clamped here
    channel.flags = trigger;
    channel.notePeriod = 4000;
    volumeColumnRowTick(designRules, linearSong, channel, 0xF2);
    EXPECT_EQ(channel.portaSpeed, 32);
    EXPECT_EQ(channel.portaTarget, 4000);
    EXPECT_EQ(channel.flags & trigger, 0);
}

// Slides of 0x6x, 0x7x, 0xDx and 0xEx go on through the row; the fine slides (0x8x, 0x9x), the
// volume and panning settings and 0x51..0x5F do nothing after the row tick.
TEST(VolumeColumn, LaterTickMeanings) {
    struct Case {
        std::uint8_t volumeByte;
        std::int32_t volume, panning;
    };
    for (const Case& later : {Case{0x63, 37, 100}, Case{0x73, 43, 100}, Case{0x83, 40, 100}, Case{0x93, 40, 100},
                              Case{0x30, 40, 100}, Case{0x55, 40, 100}, Case{0xC3, 40, 100},
                              Case{0xD3, 40, 97}, Case{0xE3, 40, 103}}) {
        Channel channel{};
        channel.volume = 40;
        channel.panning = 100;
        volumeColumnLaterTick(designRules, linearSong, channel, later.volumeByte);
        EXPECT_EQ(channel.volume, later.volume) << std::hex << int(later.volumeByte);
        EXPECT_EQ(channel.panning, later.panning) << std::hex << int(later.volumeByte);
    }
    Channel channel{};
    channel.vibratoSpeed = 8;
    volumeColumnLaterTick(designRules, linearSong, channel, 0xB6);  // the depth, and a vibrato step at the speed kept
    EXPECT_EQ(channel.vibratoDepth, 6);
    EXPECT_EQ(channel.vibratoPos, 8);
    channel.period = 1000;
    channel.portaTarget = 900;
    channel.portaSpeed = 5;
    volumeColumnLaterTick(designRules, linearSong, channel, 0xF0);
    EXPECT_EQ(channel.period, 980);
}

}  // namespace
}  // namespace quarbtro
