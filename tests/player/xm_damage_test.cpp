// The loader on damaged files: one case per kind of damage, each written as a good file and
// then changed at the offsets the writer's layout gives. What the player cannot play is
// refused with its reason; what established players clamp is clamped. Every case also runs
// the free path over whatever the loader had built (the valgrind run checks it is complete).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/player/module_invariants.h"
#include "tests/player/xm_test_support.h"

namespace quarbtro {
namespace {

using testing::loadBytes;
using testing::smallSong;

using Bytes = std::vector<std::uint8_t>;
using Damage = std::function<void(Bytes&, const XmLayout&)>;

// Header offsets.
constexpr std::size_t headerSizeAt = 60, songLengthAt = 64, restartAt = 66, channelsAt = 68,
                      patternsAt = 70, instrumentsAt = 72, speedAt = 76, bpmAt = 78;
// Offsets inside a pattern record, an instrument record and a sample header.
constexpr std::size_t rowsAt = 5, sampleCountAt = 27, volumePointsAt = 225, volumeSustainAt = 227,
                      volumeLoopStartAt = 228, volumeLoopEndAt = 229, volumeFlagsAt = 233,
                      loopStartAt = 4, loopLengthAt = 8, volumeAt = 12;

Damage header(std::size_t offset, std::uint32_t value, int bytes = 2) {
    return [=](Bytes& b, const XmLayout&) { storeLittleEndian(b, offset, value, bytes); };
}
Damage pattern(int number, std::size_t offset, std::uint32_t value) {
    return [=](Bytes& b, const XmLayout& l) { storeLittleEndian(b, l.patterns[number] + offset, value, 2); };
}
Damage instrument(int index, std::size_t offset, std::uint32_t value, int bytes = 1) {
    return [=](Bytes& b, const XmLayout& l) {
        storeLittleEndian(b, l.instruments[index] + offset, value, bytes);
    };
}
Damage sampleHeader(int instrumentIndex, std::size_t offset, std::uint32_t value, int bytes = 4) {
    return [=](Bytes& b, const XmLayout& l) {
        storeLittleEndian(b, l.sampleHeaders[instrumentIndex][0] + offset, value, bytes);
    };
}
Damage cutAt(std::function<std::size_t(const Bytes&, const XmLayout&)> end) {
    return [=](Bytes& b, const XmLayout& l) { b.resize(end(b, l)); };
}

// The good file: smallSong, whose envelope is on with 3 points, sustain and loop.
Bytes damagedSong(const Damage& damage) {
    ModuleDraft draft = smallSong();
    Instrument& ins = draft.instrument(0);
    ins.volumePointCount = 3;
    ins.volumeEnvelope[1] = {10, 64};
    ins.volumeEnvelope[2] = {20, 32};
    ins.volumeSustainPoint = 1;
    ins.volumeLoopStart = 0;
    ins.volumeLoopEnd = 2;
    ins.volumeEnvelopeFlags = envelopeOn | envelopeSustain | envelopeLoop;
    XmLayout layout;
    Bytes bytes = writeXm(draft.module(), {}, &layout);
    damage(bytes, layout);
    return bytes;
}

struct Refusal {
    const char* name;
    Damage damage;
    std::string reason;  // the reason, or its beginning when it ends in "…"
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class XmRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(XmRefusal, IsRefusedWithItsReason) {
    const Refusal& refusal = GetParam();
    auto module = loadBytes(damagedSong(refusal.damage));
    EXPECT_FALSE(module);
    LoadFailure failure = lastLoadFailure();
    EXPECT_EQ(LoadFailureKind::refused, failure.kind);
    std::string reason = failure.reason;
    if (refusal.reason.ends_with("…")) {
        std::string start = refusal.reason.substr(0, refusal.reason.size() - std::strlen("…"));
        EXPECT_EQ(start, reason.substr(0, start.size()));
    } else {
        EXPECT_EQ(refusal.reason, reason);
    }
}

const Refusal refusals[] = {
    {"SongLongerThan256", header(songLengthAt, 257), "song length 257 is above 256"},
    {"NoChannels", header(channelsAt, 0), "the song has no channels"},
    {"ThirtyThreeChannels", header(channelsAt, 33), "33 channels, more than 32"},
    {"NegativeChannelCount", header(channelsAt, 0xFFFF), "65535 channels, more than 32"},
    {"MoreThan256Patterns", header(patternsAt, 257), "257 patterns, more than 256"},
    {"PatternOfMoreThan256Rows", pattern(0, rowsAt, 257), "pattern 0 has 257 rows, more than 256"},
    {"MoreThan128Instruments", header(instrumentsAt, 129), "129 instruments, more than 128"},
    {"SeventeenSamples", instrument(1, sampleCountAt, 17, 2),
     "instrument 2 has 17 samples, more than 16"},
    // More missing than the whole file holds: no file cut short, but a length that cannot be.
    {"SampleLargerThanTheFile", sampleHeader(0, 0, 0xFFFFFFFF),
     "sample 0 of instrument 1 holds 4294967295 bytes, more than the …"},
};

INSTANTIATE_TEST_SUITE_P(Damage, XmRefusal, ::testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

struct Clamp {
    const char* name;
    Damage damage;
    std::function<void(const Module&)> check;
};

void PrintTo(const Clamp& clamp, std::ostream* out) { *out << clamp.name; }

class XmClamp : public ::testing::TestWithParam<Clamp> {};

TEST_P(XmClamp, LoadsClamped) {
    auto module = loadBytes(damagedSong(GetParam().damage));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ("", testing::brokenInvariant(*module));
    GetParam().check(*module);
}

const Instrument& first(const Module& m) { return m.instruments[0]; }
const Sample& firstSample(const Module& m) { return *m.instruments[0].samples[0]; }

const Clamp clamps[] = {
    {"EnvelopeOfThirteenPointsIsOff", instrument(0, volumePointsAt, 13),
     [](const Module& m) {
         EXPECT_EQ(12, first(m).volumePointCount);
         EXPECT_EQ(0, first(m).volumeEnvelopeFlags);
     }},
    {"SustainBeyondThePointsIsOff", instrument(0, volumeSustainAt, 3),
     [](const Module& m) {
         EXPECT_EQ(0x05, first(m).volumeEnvelopeFlags);
         EXPECT_LT(first(m).volumeSustainPoint, 3);
     }},
    {"LoopEndBeyondThePointsIsOff", instrument(0, volumeLoopEndAt, 200),
     [](const Module& m) {
         EXPECT_EQ(0x03, first(m).volumeEnvelopeFlags);
         EXPECT_LT(first(m).volumeLoopEnd, 3);
     }},
    {"LoopOnOnePointIsKept", instrument(0, volumeLoopStartAt, 2),
     [](const Module& m) { EXPECT_EQ(0x07, first(m).volumeEnvelopeFlags); }},
    {"LoopStartAfterLoopEndIsOff",
     [](Bytes& b, const XmLayout& l) {
         storeLittleEndian(b, l.instruments[0] + volumeLoopStartAt, 2, 1);
         storeLittleEndian(b, l.instruments[0] + volumeLoopEndAt, 1, 1);
     },
     [](const Module& m) { EXPECT_EQ(0x03, first(m).volumeEnvelopeFlags); }},
    {"EnvelopeFlagsWithoutPoints", instrument(0, volumePointsAt, 0),
     [](const Module& m) {
         EXPECT_EQ(0, first(m).volumeEnvelopeFlags);
         EXPECT_EQ(0, first(m).volumeSustainPoint);
     }},
    {"SampleLoopPastTheEnd", sampleHeader(0, loopLengthAt, 100),
     [](const Module& m) {
         EXPECT_EQ(2u, firstSample(m).loopStart);
         EXPECT_EQ(6u, firstSample(m).loopLength);
         EXPECT_EQ(loopForward, firstSample(m).loopType);
     }},
    {"SampleLoopWrappingAround",
     [](Bytes& b, const XmLayout& l) {
         storeLittleEndian(b, l.sampleHeaders[0][0] + loopStartAt, 0xFFFFFFF0, 4);
         storeLittleEndian(b, l.sampleHeaders[0][0] + loopLengthAt, 0x40, 4);
     },
     [](const Module& m) {
         EXPECT_EQ(loopNone, firstSample(m).loopType);
         EXPECT_EQ(8u, firstSample(m).loopLength);
     }},
    {"SampleLoopLengthWrappingAround", sampleHeader(0, loopLengthAt, 0xFFFFFFFC),
     [](const Module& m) {
         EXPECT_EQ(2u, firstSample(m).loopStart);
         EXPECT_EQ(6u, firstSample(m).loopLength);
     }},
    {"SampleLoopStartBeyondTheEnd", sampleHeader(0, loopStartAt, 100),
     [](const Module& m) {
         EXPECT_EQ(loopNone, firstSample(m).loopType);
         EXPECT_EQ(0u, firstSample(m).loopStart);
         EXPECT_EQ(8u, firstSample(m).loopLength);
     }},
    {"SampleVolumeAbove64", sampleHeader(0, volumeAt, 200, 1),
     [](const Module& m) { EXPECT_EQ(64, firstSample(m).volume); }},
    {"RestartBeyondTheSong", header(restartAt, 2),
     [](const Module& m) { EXPECT_EQ(0, m.restartPosition); }},
    {"SpeedAndBpmOfZero",
     [](Bytes& b, const XmLayout&) {
         storeLittleEndian(b, speedAt, 0, 2);
         storeLittleEndian(b, bpmAt, 0, 2);
     },
     [](const Module& m) {
         EXPECT_EQ(1, m.defaultSpeed);
         EXPECT_EQ(32, m.defaultBpm);
     }},
    {"SpeedAndBpmTooHigh",
     [](Bytes& b, const XmLayout&) {
         storeLittleEndian(b, speedAt, 0xFFFF, 2);
         storeLittleEndian(b, bpmAt, 1000, 2);
     },
     [](const Module& m) {
         EXPECT_EQ(31, m.defaultSpeed);
         EXPECT_EQ(255, m.defaultBpm);
     }},
    {"InstrumentHeaderSizePastTheEnd", instrument(0, 0, 0xFFFFFFFF, 4),
     [](const Module& m) {
         EXPECT_EQ(0u, firstSample(m).length);
         EXPECT_EQ(0, m.instruments[1].sampleCount);
     }},
};

INSTANTIATE_TEST_SUITE_P(Damage, XmClamp, ::testing::ValuesIn(clamps),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that ends early loads as far as it goes, the rest silent, with one warning that says
// what is missing from where it ends.
struct ShortFile {
    const char* name;
    Damage damage;
    std::string warning;
    std::function<void(const Module&)> check;
};

void PrintTo(const ShortFile& file, std::ostream* out) { *out << file.name; }

class XmShortFile : public ::testing::TestWithParam<ShortFile> {};

TEST_P(XmShortFile, LoadsWithAWarning) {
    auto module = loadBytes(damagedSong(GetParam().damage));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ("the file ends early: " + GetParam().warning + "; the missing part plays as silence",
              lastLoadWarning());
    EXPECT_EQ("", testing::brokenInvariant(*module));
    GetParam().check(*module);
}

const Sample& secondSample(const Module& m) { return *m.instruments[1].samples[0]; }

const ShortFile shortFiles[] = {
    {"SampleCutShort", cutAt([](const Bytes& b, const XmLayout&) { return b.size() - 1; }),
     "the sample data lacks 1 byte from sample 0 of instrument 2 (of its 3 bytes) on",
     [](const Module& m) {
         EXPECT_EQ(3u, secondSample(m).length);  // as declared
         EXPECT_EQ(4096, secondSample(m).data[0]);
         EXPECT_EQ(8192, secondSample(m).data[1]);
         EXPECT_EQ(0, secondSample(m).data[2]);  // the missing frame, silent
     }},
    {"CutInTheFirstInstrumentsSampleData",
     cutAt([](const Bytes&, const XmLayout& l) { return l.sampleHeaders[0][0] + 40 + 6; }),
     "the sample data lacks 10 bytes from sample 0 of instrument 1 (of its 16 bytes) on, and instrument 2 is "
     "missing",
     [](const Module& m) {
         EXPECT_EQ(8u, firstSample(m).length);
         EXPECT_EQ(2000, firstSample(m).data[2]);
         EXPECT_EQ(0, firstSample(m).data[3]);
         EXPECT_EQ(0, firstSample(m).data[5]);
         EXPECT_EQ(2000, firstSample(m).data[6]);  // the guard frame: the loop's start
         EXPECT_EQ(0, m.instruments[1].sampleCount);
     }},
    {"CutAtAPatternBoundary", cutAt([](const Bytes&, const XmLayout& l) { return l.patterns[1]; }),
     "pattern 1 and instruments 1 to 2 are cut short or missing",
     [](const Module& m) {
         EXPECT_EQ(4, m.patterns[0].rowCount);
         EXPECT_EQ(64, m.patterns[1].rowCount);  // a pattern header of zeros: 0 rows
         EXPECT_EQ(0, m.instruments[0].sampleCount);
     }},
    {"CutAfterTheHeader", cutAt([](const Bytes&, const XmLayout& l) { return l.patterns[0]; }),
     "patterns 0 to 1 and instruments 1 to 2 are cut short or missing",
     [](const Module& m) {
         EXPECT_EQ(2, m.patternCount);
         EXPECT_EQ(64, m.patterns[1].rowCount);
         EXPECT_EQ(0, m.instruments[1].sampleCount);
     }},
    {"PatternLargerThanTheFile",
     [](Bytes& b, const XmLayout& l) {
         storeLittleEndian(b, l.patterns[1] + rowsAt, 256, 2);
         b.resize(l.patterns[1] + 9 + 100);
     },
     "pattern 1 and instruments 1 to 2 are cut short or missing",
     [](const Module& m) { EXPECT_EQ(256, m.patterns[1].rowCount); }},
    {"CutInsideTheInstrumentHeader",
     cutAt([](const Bytes&, const XmLayout& l) { return l.instruments[0] + 100; }),
     "instruments 1 to 2 are cut short or missing",
     [](const Module& m) {
         EXPECT_EQ(1, first(m).sampleCount);
         EXPECT_EQ(0u, firstSample(m).length);
         EXPECT_EQ(nullptr, firstSample(m).data);
     }},
    {"CutInTheLastInstrumentsHeader",
     cutAt([](const Bytes&, const XmLayout& l) { return l.instruments[1] + 10; }),
     "instrument 2 is cut short or missing",
     [](const Module& m) { EXPECT_EQ(8u, firstSample(m).length); }},
    {"HeaderSizePastTheEnd", header(headerSizeAt, 0xFFFFFFFF, 4),
     "patterns 0 to 1 and instruments 1 to 2 are cut short or missing",
     [](const Module& m) {
         EXPECT_EQ(64, m.patterns[0].rowCount) << "a pattern header of zeros: 0 rows";
         EXPECT_EQ(0, m.instruments[0].sampleCount);
     }},
};

INSTANTIATE_TEST_SUITE_P(Damage, XmShortFile, ::testing::ValuesIn(shortFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmDamage, AWholeFileHasNoWarning) {
    loadBytes(damagedSong(cutAt([](const Bytes& b, const XmLayout&) { return b.size() - 1; })));
    ASSERT_STRNE("", lastLoadWarning());
    ASSERT_TRUE(loadBytes(damagedSong([](Bytes&, const XmLayout&) {})));
    EXPECT_STREQ("", lastLoadWarning());
}

TEST(XmDamage, PatternOfZeroRowsPlaysAsSixtyFourEmptyRows) {
    ModuleDraft draft(3);
    draft.addPattern(0);
    draft.addPattern(2);
    draft.cell(1, 1, 2).note = 50;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(64, module->patterns[0].rowCount);
    EXPECT_EQ(50, module->patterns[1].cells[5].note);
}

TEST(XmDamage, EveryPrefixOfAFileLoadsWithAWarningOrIsRefused) {
    Bytes good = damagedSong([](Bytes&, const XmLayout&) {});
    for (std::size_t size = 0; size < good.size(); ++size) {
        auto module = loadBytes(Bytes(good.begin(), good.begin() + size));
        if (module) {
            EXPECT_EQ("", testing::brokenInvariant(*module)) << size << " bytes";
            EXPECT_STRNE("", lastLoadWarning()) << size << " bytes";
        } else {
            EXPECT_NE(LoadFailureKind::none, lastLoadFailure().kind);
            EXPECT_STRNE("", lastLoadFailure().reason);
        }
    }
}

}  // namespace
}  // namespace quarbtro
