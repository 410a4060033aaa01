// The intro's song: the embedded module is exactly what the generator writes and loads through
// the memory stream; its sections start under their scenes; its samples join their loops and
// end without a step; its cells stay within the effects and volume-column values the song is
// meant to use.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "assets/song/song.h"
#include "assets/songXm.h"
#include "player/module_draft.h"
#include "player/playback.h"
#include "player/stream.h"
#include "player/xm_loader.h"

namespace quarbtro {
namespace {

// The song as records, composed once for all the tests.
const Module& composedSong() {
    static ModuleDraft draft(8);
    static bool composed = false;
    if (!composed) {
        song::composeSong(draft);
        composed = true;
    }
    return draft.module();
}

TEST(Song, EmbeddedModuleIsWhatTheGeneratorWrites) {
    std::vector<std::uint8_t> generated = song::songBytes();
    ASSERT_EQ(std::size_t(songXmSize), generated.size())
        << "assets/song.xm is not what the generator writes: run make assets and commit it";
    EXPECT_TRUE(std::equal(generated.begin(), generated.end(), songXm))
        << "assets/song.xm is not what the generator writes: run make assets and commit it";
}

TEST(Song, EmbeddedModuleLoadsThroughTheMemoryStream) {
    useMemoryStream();
    setMemoryStreamSource(songXm, songXmSize);
    Module* module = loadModule(songXm, nullptr);
    setMemoryStreamSource(nullptr, 0);
    ASSERT_NE(module, nullptr) << lastLoadFailure().reason;
    EXPECT_EQ(module->songLength, composedSong().songLength);
    EXPECT_EQ(module->instrumentCount, composedSong().instrumentCount);
    freeModule(module);
}

// Seconds from the start of the song to the start of each order position, and to its end,
// following the speed and tempo changes in the rows (the song has no jumps).
std::vector<double> orderStartTimes(const Module& song) {
    std::vector<double> times;
    double time = 0;
    int speed = song.defaultSpeed, bpm = song.defaultBpm;
    for (int position = 0; position < song.songLength; ++position) {
        times.push_back(time);
        const Pattern& pattern = song.patterns[song.orderTable[position]];
        for (int row = 0; row < pattern.rowCount; ++row) {
            for (int channel = 0; channel < song.channelCount; ++channel) {
                const PatternCell& cell = pattern.cells[row * song.channelCount + channel];
                if (cell.effect != 0xF) continue;
                (cell.effectParam >= 32 ? bpm : speed) = cell.effectParam;
            }
            time += double(speed) * samplesPerTickAt(44100, bpm) / 44100;
        }
    }
    times.push_back(time);
    return times;
}

TEST(Song, SectionsStartWithinTwoRowsOfTheirScenes) {
    std::vector<double> starts = orderStartTimes(composedSong());
    ASSERT_EQ(starts.size(), 13u);
    const double twoRows = 2 * 3 * 492 / 44100.0;  // at the default 224 BPM
    EXPECT_NEAR(starts[1], 2.2, twoRows);    // first theme: the scroller
    EXPECT_NEAR(starts[5], 17.0, twoRows);   // the drive: the tunnel
    EXPECT_NEAR(starts[10], 35.0, twoRows);  // the close: the credits
    EXPECT_NEAR(starts[11], 40.0, twoRows);  // the last phrase: the blue screen
    EXPECT_NEAR(starts[12], 42.5, twoRows);  // the intro quits
}

// The largest bend (second difference) between consecutive frames first..last of a sample.
int largestBend(const Sample& sample, std::uint32_t first, std::uint32_t last) {
    const std::int16_t* d = sample.data;
    int largest = 0;
    for (std::uint32_t k = first + 1; k + 1 <= last; ++k) {
        largest = std::max(largest, std::abs(d[k + 1] - 2 * d[k] + d[k - 1]));
    }
    return largest;
}

TEST(Song, LoopsJoinSmoothlyAndOneShotsStartAndEndInSilence) {
    const Module& song = composedSong();
    for (int i = 0; i < song.instrumentCount; ++i) {
        const Instrument& instrument = song.instruments[i];
        ASSERT_LE(instrument.sampleCount, 16);
        for (int slot = 0; slot < instrument.sampleCount; ++slot) {
            const Sample& sample = *instrument.samples[slot];
            SCOPED_TRACE("instrument " + std::to_string(i + 1));
            EXPECT_EQ(sample.bits, 16);
            ASSERT_GE(sample.length, 3u);
            if (sample.loopType != loopForward) {
                EXPECT_EQ(sample.data[0], 0);
                EXPECT_EQ(sample.data[sample.length - 1], 0);
                continue;
            }
            // Across the join (last frame, first frame, second frame) the wave bends no more
            // than anywhere inside the loop: no step, no kink.
            std::uint32_t start = sample.loopStart, end = sample.loopStart + sample.loopLength - 1;
            ASSERT_LT(end, sample.length);
            int inside = largestBend(sample, start, end);
            const std::int16_t* d = sample.data;
            EXPECT_LE(std::abs(d[start] - 2 * d[end] + d[end - 1]), inside);
            EXPECT_LE(std::abs(d[start + 1] - 2 * d[start] + d[end]), inside);
        }
    }
}

TEST(Song, SamplesAreOneShotsAndForwardLoops) {
    const Module& song = composedSong();
    std::set<std::uint8_t> loopTypes;
    for (int i = 0; i < song.instrumentCount; ++i) {
        for (int slot = 0; slot < song.instruments[i].sampleCount; ++slot) {
            loopTypes.insert(song.instruments[i].samples[slot]->loopType);
        }
    }
    EXPECT_EQ(loopTypes, (std::set<std::uint8_t>{loopNone, loopForward}));
}

TEST(Song, CellsUseOnlyTheSongsEffectsAndQuietVolumes) {
    const Module& song = composedSong();
    const std::set<int> effects = {0x1, 0x3, 0x4, 0xB, 0xF};
    for (int p = 0; p < song.patternCount; ++p) {
        const Pattern& pattern = song.patterns[p];
        EXPECT_TRUE(pattern.rowCount == 64 || pattern.rowCount == 128) << "pattern " << p;
        for (int c = 0; c < pattern.rowCount * song.channelCount; ++c) {
            const PatternCell& cell = pattern.cells[c];
            SCOPED_TRACE("pattern " + std::to_string(p) + " cell " + std::to_string(c));
            EXPECT_TRUE(cell.note <= 96 || cell.note == 255);
            EXPECT_LE(cell.instrument, song.instrumentCount);
            EXPECT_TRUE(cell.volume == 0 || (cell.volume >= 0x10 && cell.volume <= 0x1F));
            bool patternLoop = cell.effect == 0xE && (cell.effectParam >> 4) == 6;
            bool none = cell.effect == 0 && cell.effectParam == 0;
            EXPECT_TRUE(none || patternLoop || effects.count(cell.effect))
                << "effect " << int(cell.effect) << " " << int(cell.effectParam);
        }
    }
}

}  // namespace
}  // namespace quarbtro
