// The XM loader on well-formed files, written by the XM writer: what each part of the file
// becomes in the Module.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/player/xm_test_support.h"

namespace quarbtro {
namespace {

using testing::loadBytes;
using testing::smallSong;

TEST(XmLoader, ReadsHeaderPatternsAndInstruments) {
    ModuleDraft draft = smallSong();
    draft.song.restartPosition = 1;
    draft.song.defaultSpeed = 3;
    draft.song.defaultBpm = 224;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(LoadFailureKind::none, lastLoadFailure().kind);
    EXPECT_EQ(2, module->songLength);
    EXPECT_EQ(1, module->restartPosition);
    EXPECT_EQ(2, module->channelCount);
    EXPECT_EQ(2, module->usedPatternCount);
    EXPECT_EQ(2, module->patternCount);
    EXPECT_EQ(2, module->instrumentCount);
    EXPECT_EQ(linearFrequencyTable, module->flags);
    EXPECT_EQ(3, module->defaultSpeed);
    EXPECT_EQ(224, module->defaultBpm);
    EXPECT_EQ(64, module->initialGlobalVolume);
    EXPECT_EQ(1, module->orderTable[1]);

    EXPECT_EQ(4, module->patterns[0].rowCount);
    EXPECT_EQ(2, module->patterns[1].rowCount);
    const PatternCell& first = module->patterns[0].cells[0];
    EXPECT_EQ(49, first.note);
    EXPECT_EQ(1, first.instrument);
    EXPECT_EQ(0x40, first.volume);
    EXPECT_EQ(0x0F, first.effect);
    EXPECT_EQ(3, first.effectParam);
    EXPECT_EQ(255, module->patterns[1].cells[1 * 2 + 1].note) << "key-off";

    const Instrument& instrument = module->instruments[0];
    ASSERT_EQ(1, instrument.sampleCount);
    for (int slot = 1; slot < 16; ++slot) EXPECT_EQ(&emptySample, instrument.samples[slot]);
    const Sample& sample = *instrument.samples[0];
    EXPECT_EQ(8u, sample.length);
    EXPECT_EQ(2u, sample.loopStart);
    EXPECT_EQ(4u, sample.loopLength);
    EXPECT_EQ(loopForward, sample.loopType);
    EXPECT_EQ(16, sample.bits);
    // Frame 6, just after the loop, is never played: it becomes the guard frame.
    const std::int16_t expected[] = {0, 1000, 2000, 3000, -3000, -2000, 2000, 0};
    EXPECT_EQ(0, std::memcmp(expected, sample.data, sizeof expected));
}

TEST(XmLoader, KeepsInstrumentSettings) {
    ModuleDraft draft = smallSong();
    Instrument& instrument = draft.instrument(0);
    instrument.sampleForNote[10] = 3;
    instrument.volumeEnvelope[1] = {16, 40};
    instrument.panningEnvelope[2] = {30, 10};
    instrument.volumePointCount = 3;
    instrument.panningPointCount = 4;
    instrument.volumeSustainPoint = 1;
    instrument.volumeLoopStart = 0;
    instrument.volumeLoopEnd = 2;
    instrument.panningSustainPoint = 2;
    instrument.panningLoopStart = 1;
    instrument.panningLoopEnd = 3;
    instrument.volumeEnvelopeFlags = envelopeOn | envelopeSustain | envelopeLoop;
    instrument.panningEnvelopeFlags = envelopeOn | envelopeLoop;
    instrument.autoVibratoType = 2;
    instrument.autoVibratoSweep = 9;
    instrument.autoVibratoDepth = 8;
    instrument.autoVibratoRate = 7;
    instrument.volumeFadeout = 0x200;
    Sample& sample = draft.sample(0, 0);
    sample.volume = 48;
    sample.finetune = -16;
    sample.panning = 200;
    sample.relativeNote = -12;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    const Instrument& loaded = module->instruments[0];
    EXPECT_EQ(3, loaded.sampleForNote[10]);
    EXPECT_EQ(40, loaded.volumeEnvelope[1].y);
    EXPECT_EQ(30, loaded.panningEnvelope[2].x);
    EXPECT_EQ(0, std::memcmp(&instrument.volumePointCount, &loaded.volumePointCount, 14));
    EXPECT_EQ(0x200, loaded.volumeFadeout);
    const Sample& loadedSample = *loaded.samples[0];
    EXPECT_EQ(48, loadedSample.volume);
    EXPECT_EQ(-16, loadedSample.finetune);
    EXPECT_EQ(200, loadedSample.panning);
    EXPECT_EQ(-12, loadedSample.relativeNote);
}

TEST(XmLoader, KeepsTheNames) {
    ModuleDraft draft = smallSong();
    std::strcpy(draft.instrument(0).name, "Bass, 22 bytes long...");
    std::strcpy(draft.sample(0, 0).name, "\xE9t\xE9 (Latin-1)");
    XmWriteOptions options;
    options.songName = "Twenty bytes of name";
    auto module = loadBytes(writeXm(draft.module(), options));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_STREQ(module->title, "Twenty bytes of name");
    EXPECT_STREQ(module->trackerName, "Quarbtro");
    EXPECT_STREQ(module->instruments[0].name, "Bass, 22 bytes long...");
    EXPECT_STREQ(module->instruments[0].samples[0]->name, "\xE9t\xE9 (Latin-1)");
}

TEST(XmLoader, EnvelopesOfFewerThanTwoPointsAreOff) {
    ModuleDraft draft = smallSong();
    draft.instrument(0).volumePointCount = 1;
    draft.instrument(0).volumeEnvelopeFlags = 1;
    draft.instrument(0).panningPointCount = 0;
    draft.instrument(0).panningEnvelopeFlags = 1;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module);
    EXPECT_EQ(0, module->instruments[0].volumeEnvelopeFlags);
    EXPECT_EQ(0, module->instruments[0].panningEnvelopeFlags);
}

TEST(XmLoader, SignatureMustMatchEveryByte) {
    std::vector<std::uint8_t> good = writeXm(smallSong().module());
    ASSERT_TRUE(loadBytes(good));
    for (int position = 0; position < 17; ++position) {
        std::vector<std::uint8_t> bytes = good;
        bytes[position] = std::uint8_t(std::tolower(bytes[position]) == bytes[position]
                                           ? bytes[position] ^ 0x01
                                           : std::tolower(bytes[position]));
        EXPECT_FALSE(loadBytes(bytes)) << "byte " << position;
        EXPECT_EQ(LoadFailureKind::refused, lastLoadFailure().kind);
    }
    std::vector<std::uint8_t> noBlank(good.begin(), good.begin() + 16);
    EXPECT_FALSE(loadBytes(noBlank)) << "a missing trailing blank";
    EXPECT_STREQ("not an XM module: it does not begin with \"Extended Module: \"",
                 lastLoadFailure().reason);
}

TEST(XmLoader, SkipsExtraHeaderBytesAndIgnoresTheVersion) {
    XmWriteOptions options;
    options.headerSize = 300;
    std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), options);
    storeLittleEndian(bytes, 58, 0xBEEF, 2);  // version
    std::fill(bytes.begin() + 336, bytes.begin() + 360, 0xEE);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(49, module->patterns[0].cells[0].note);
    EXPECT_EQ(8u, module->instruments[0].samples[0]->length);
}

// A pattern header's length counts from its start: a writer may put more after its 9 bytes,
// and the packed data starts after them all.
TEST(XmLoader, PatternHeaderLongerThanNineBytes) {
    XmWriteOptions options;
    options.patternHeaderSize = 13;
    const std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), options);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(0, std::memcmp(&smallSong().cell(0, 0, 0), &module->patterns[0].cells[0], 5));
    EXPECT_EQ(noteKeyOff, module->patterns[1].cells[3].note);
    EXPECT_EQ(8u, module->instruments[0].samples[0]->length) << "read on from the right place";
}

TEST(XmLoader, PackedLeadBytes) {
    ModuleDraft draft(1);
    draft.addPattern(3);
    draft.cell(0, 0, 0) = {5, 1, 2, 3, 4};
    draft.cell(0, 1, 0) = {0, 6, 7, 8, 9};
    draft.cell(0, 2, 0) = {};
    XmWriteOptions plain;
    plain.packCells = false;
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(draft.module(), plain, &layout);
    // The plain third cell would be five zero bytes; write it the packed way, 0x80 alone.
    std::size_t data = layout.patterns[0] + 9;
    bytes.erase(bytes.begin() + data + 10, bytes.begin() + data + 15);
    bytes.insert(bytes.begin() + data + 10, 0x80);
    storeLittleEndian(bytes, layout.patterns[0] + 7, 11, 2);
    ASSERT_EQ(0x05, bytes[data]);
    ASSERT_EQ(0x00, bytes[data + 5]);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    const PatternCell* cells = module->patterns[0].cells;
    EXPECT_EQ(0, std::memcmp(&draft.cell(0, 0, 0), &cells[0], 5));
    EXPECT_EQ(0, std::memcmp(&draft.cell(0, 1, 0), &cells[1], 5));
    EXPECT_EQ(0, std::memcmp(&draft.cell(0, 2, 0), &cells[2], 5));
}

TEST(XmLoader, PackedCellsCarryOnlyTheirFields) {
    ModuleDraft draft(3);
    draft.addPattern(1);
    draft.cell(0, 0, 0) = {0, 0, 0x10, 0, 0};
    draft.cell(0, 0, 1) = {0, 0, 0, 0x0E, 0x60};
    draft.cell(0, 0, 2) = {xm::keyOff, 200, 0, 0, 0};  // the file's key-off and a too large instrument
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    const PatternCell* cells = module->patterns[0].cells;
    EXPECT_EQ(0x10, cells[0].volume);
    EXPECT_EQ(0, cells[0].note);
    EXPECT_EQ(0x0E, cells[1].effect);
    EXPECT_EQ(0x60, cells[1].effectParam);
    EXPECT_EQ(255, cells[2].note);
    EXPECT_EQ(0, cells[2].instrument);
}

TEST(XmLoader, PatternWithoutDataTakesOnlyItsHeader) {
    ModuleDraft draft = smallSong();
    draft.addPattern(64);
    std::swap(draft.song.orderTable[0], draft.song.orderTable[1]);
    XmWriteOptions options;
    options.omitEmptyPatternData = true;
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(draft.module(), options, &layout);
    ASSERT_EQ(layout.patterns[2] + 9, layout.instruments[0]);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    ASSERT_EQ(3, module->patternCount);
    EXPECT_EQ(64, module->patterns[2].rowCount);
    for (int c = 0; c < 64 * 2; ++c) EXPECT_EQ(0, module->patterns[2].cells[c].note);
    EXPECT_EQ(8u, module->instruments[0].samples[0]->length) << "read on from the right place";
}

TEST(XmLoader, OrderTableBeyondTheFilePatternsAddsEmptyPatterns) {
    ModuleDraft draft(4);
    for (int p = 0; p < 13; ++p) draft.addPattern(128);
    draft.song.songLength = 3;
    draft.song.orderTable[0] = 3;
    draft.song.orderTable[1] = 20;
    draft.song.orderTable[2] = 12;
    draft.song.orderTable[3] = 40;  // beyond the song: not a used pattern
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(21, module->usedPatternCount);
    ASSERT_EQ(21, module->patternCount);
    EXPECT_EQ(128, module->patterns[12].rowCount);
    for (int p = 13; p <= 20; ++p) {
        EXPECT_EQ(64, module->patterns[p].rowCount);
        ASSERT_NE(nullptr, module->patterns[p].cells);
        EXPECT_EQ(0, module->patterns[p].cells[64 * 4 - 1].effect);
    }
}

TEST(XmLoader, FilePatternsBeyondTheSongAreKept) {
    ModuleDraft draft(2);
    for (int p = 0; p < 5; ++p) draft.addPattern(8);
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module);
    EXPECT_EQ(1, module->usedPatternCount);
    EXPECT_EQ(5, module->patternCount);
}

TEST(XmLoader, SongOfLengthZeroStillHasThePatternOfItsFirstPosition) {
    ModuleDraft draft(2);
    draft.song.songLength = 0;
    draft.song.orderTable[0] = 2;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(0, module->usedPatternCount);
    ASSERT_EQ(3, module->patternCount);
    EXPECT_EQ(64, module->patterns[2].rowCount);
}

TEST(XmLoader, InstrumentsWithNoneAndSixteenSamples) {
    ModuleDraft draft(1);
    draft.addPattern(1);
    draft.addInstrument();
    int full = draft.addInstrument();
    for (int s = 0; s < 16; ++s) draft.addSample(full, {std::int16_t(s * 100), 0});
    draft.instrument(full).sampleForNote[95] = 15;
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    const Instrument& none = module->instruments[0];
    EXPECT_EQ(0, none.sampleCount);
    for (const Sample* slot : none.samples) EXPECT_EQ(&emptySample, slot);
    const Instrument& loaded = module->instruments[1];
    ASSERT_EQ(16, loaded.sampleCount);
    EXPECT_EQ(1500, loaded.samples[15]->data[0]);
    EXPECT_EQ(15, loaded.sampleForNote[95]);
}

TEST(XmLoader, EightBitDeltasAreWidened) {
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), {}, &layout);
    std::size_t data = layout.sampleData[1][0];
    ASSERT_EQ(bytes.size(), data + 3);
    EXPECT_EQ(0x10, bytes[data]);
    EXPECT_EQ(0x10, bytes[data + 1]);
    EXPECT_EQ(0xF0, bytes[data + 2]);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    const Sample& sample = *module->instruments[1].samples[0];
    EXPECT_EQ(16, sample.bits);
    ASSERT_EQ(3u, sample.length);
    EXPECT_EQ(4096, sample.data[0]);
    EXPECT_EQ(8192, sample.data[1]);
    EXPECT_EQ(4096, sample.data[2]);
    EXPECT_EQ(3u, sample.loopLength);
    EXPECT_EQ(loopNone, sample.loopType);
}

TEST(XmLoader, SixteenBitDeltasWrapAround) {
    ModuleDraft draft(1);
    draft.addPattern(1);
    draft.addSample(draft.addInstrument(), {32767, -32768, 32767, 0});
    auto module = loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module);
    const std::int16_t* frames = module->instruments[0].samples[0]->data;
    EXPECT_EQ(32767, frames[0]);
    EXPECT_EQ(-32768, frames[1]);
    EXPECT_EQ(32767, frames[2]);
    EXPECT_EQ(0, frames[3]);
}

// The frame after the loop: what the mixer reads when it interpolates across the loop end.
TEST(XmLoader, GuardFrames) {
    struct Case {
        std::uint8_t loopType;
        std::uint32_t loopStart, loopLength;
        std::int16_t guard;
    } cases[] = {
        {loopForward, 2, 4, 2000},   // frame 6 copies the loop's first frame, frame 2
        {loopPingPong, 2, 4, -2000}, // frame 6 copies the loop's last frame, frame 5
        {loopForward, 4, 4, -3000},  // a loop to the end: the first padding frame copies frame 4
        {loopNone, 0, 8, 0},
    };
    for (const Case& c : cases) {
        ModuleDraft draft = smallSong();
        Sample& sample = draft.sample(0, 0);
        sample.loopType = c.loopType;
        sample.loopStart = c.loopStart;
        sample.loopLength = c.loopLength;
        auto module = loadBytes(writeXm(draft.module()));
        ASSERT_TRUE(module);
        const Sample& loaded = *module->instruments[0].samples[0];
        EXPECT_EQ(c.loopType, loaded.loopType);
        EXPECT_EQ(c.guard, loaded.data[c.loopStart + c.loopLength]) << int(c.loopType);
        for (int k = 9; k < 16; ++k) EXPECT_EQ(0, loaded.data[k]) << "padding frame " << k;
    }
}

TEST(XmLoader, BothLoopBitsMeanPingPong) {
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), {}, &layout);
    bytes[layout.sampleHeaders[0][0] + 14] = 0x13;
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module);
    EXPECT_EQ(loopPingPong, module->instruments[0].samples[0]->loopType);
}

TEST(XmLoader, OddLengthSixteenBitSampleLeavesItsLastByteUnread) {
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), {}, &layout);
    storeLittleEndian(bytes, layout.sampleHeaders[0][0], 17, 4);
    bytes.insert(bytes.begin() + layout.sampleData[0][0] + 16, 0x55);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ(8u, module->instruments[0].samples[0]->length);
    EXPECT_EQ(-2000, module->instruments[0].samples[0]->data[5]);
    const Sample& next = *module->instruments[1].samples[0];
    EXPECT_EQ(3u, next.length);
    EXPECT_EQ(8192, next.data[1]) << "the instrument after it is read from the right place";
}

TEST(XmLoader, SixteenBitLoopOfOneByteDoesNotLoop) {
    XmLayout layout;
    std::vector<std::uint8_t> bytes = writeXm(smallSong().module(), {}, &layout);
    storeLittleEndian(bytes, layout.sampleHeaders[0][0] + 8, 1, 4);
    auto module = loadBytes(bytes);
    ASSERT_TRUE(module);
    const Sample& sample = *module->instruments[0].samples[0];
    EXPECT_EQ(loopNone, sample.loopType);
    EXPECT_EQ(0u, sample.loopStart);
    EXPECT_EQ(8u, sample.loopLength);
}

std::vector<std::int32_t> hookCalls;

void supplyRamp(void* buffer, std::int32_t bytes, std::int32_t bits, std::int32_t instrument,
                std::int32_t sample) {
    hookCalls.insert(hookCalls.end(), {bytes, bits, instrument, sample});
    auto* values = static_cast<std::uint8_t*>(buffer);
    for (std::int32_t i = 0; i < bytes; ++i) values[i] = std::uint8_t(i + 1);
}

TEST(XmLoader, SampleHookSuppliesPlainValues) {
    hookCalls.clear();
    auto module = loadBytes(writeXm(smallSong().module()), supplyRamp);
    ASSERT_TRUE(module) << lastLoadFailure().reason;
    EXPECT_EQ((std::vector<std::int32_t>{16, 16, 0, 0, 3, 8, 1, 0}), hookCalls);
    EXPECT_EQ(supplyRamp, module->onSampleLoad);
    const Sample& sixteen = *module->instruments[0].samples[0];
    EXPECT_EQ(0x0201, sixteen.data[0]) << "not delta-decoded";
    EXPECT_EQ(0x0403, sixteen.data[1]);
    const Sample& eight = *module->instruments[1].samples[0];
    EXPECT_EQ(0x0100, eight.data[0]);
    EXPECT_EQ(0x0300, eight.data[2]);
}

TEST(FreeModule, NullModule) { EXPECT_EQ(0, freeModule(nullptr)); }

}  // namespace
}  // namespace quarbtro
