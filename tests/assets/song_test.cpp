// The intro's song: the embedded module is exactly what the generator writes and loads through
// the memory stream; its sections start under their scenes; its ending fades the whole song to
// silence; its samples join their loops and end without a step; the pad's chord samples share
// one keyboard; its cells stay within the effects and volume-column commands the song is
// meant to use.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "assets/song/instruments.h"
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
    const LoadedModule module(loadModuleFromMemory(songXm, songXmSize));
    ASSERT_NE(module, nullptr) << lastLoadFailure().reason;
    EXPECT_EQ(module->songLength, composedSong().songLength);
    EXPECT_EQ(module->instrumentCount, composedSong().instrumentCount);
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
                if (cell.effect != effect::speedOrTempo) continue;
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
    ASSERT_EQ(starts.size(), 14u);
    const double twoRows = 2 * 3 * 492 / 44100.0;  // at the default 224 BPM
    EXPECT_NEAR(starts[1], 2.2, twoRows);    // the theme: the scroller
    EXPECT_NEAR(starts[5], 17.0, twoRows);   // the drive: the tunnel
    EXPECT_NEAR(starts[11], 35.0, twoRows);  // the close: the credits
    EXPECT_NEAR(starts[12], 40.0, twoRows);  // the ending: the blue screen
    EXPECT_NEAR(starts[13], 42.5, twoRows);  // the intro quits
}

// The global volume the song's first row sets, and what the Hxy slides of its last pattern take
// away: one step (x or y) on each of the two later ticks of a row at three ticks a row.
TEST(Song, TheEndingFadesTheMasterVolumeToSilenceAndTheStartRestoresIt) {
    const Module& song = composedSong();
    ASSERT_EQ(song.defaultSpeed, 3);
    auto cellsOf = [&](int position) {
        const Pattern& pattern = song.patterns[song.orderTable[position]];
        return std::vector<PatternCell>(pattern.cells,
                                        pattern.cells + pattern.rowCount * song.channelCount);
    };
    int master = -1;
    std::vector<PatternCell> first = cellsOf(0);
    for (int channel = 0; channel < song.channelCount; ++channel) {
        if (first[channel].effect == effect::globalVolume) master = first[channel].effectParam;
    }
    ASSERT_GT(master, 0) << "the first row sets no global volume";
    int slid = 0;
    for (const PatternCell& cell : cellsOf(song.songLength - 1)) {
        if (cell.effect != effect::globalVolumeSlide) continue;
        EXPECT_EQ(cell.effectParam >> 4, 0) << "the ending slides the volume up";
        slid += 2 * (cell.effectParam & 15);
    }
    EXPECT_GE(slid, master);
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
            EXPECT_TRUE(sample.bits == 8 || sample.bits == 16);
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

// The pad's chord samples: each voicing on its twelve keys, its sample tuned so that a chord
// written there sounds at its root (64 frames to a period of the root), its lowest voice
// between E-3 and D#4.
TEST(Song, ThePadPlaysEachVoicingOnItsOwnKeysAtTheChordsRoot) {
    ModuleDraft draft(8);
    const Instrument& pad = draft.instrument(song::addInstruments(draft).pad - 1);
    ASSERT_EQ(pad.sampleCount, song::padVoicingCount);
    constexpr int noteE3 = 41;  // 1-based
    // The lowest voice, in semitones from the root.
    const int lowestVoice[song::padVoicingCount] = {0, 0, 4, -5, 0};
    for (int voicing = 0; voicing < song::padVoicingCount; ++voicing) {
        for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
            SCOPED_TRACE("voicing " + std::to_string(voicing) + ", pitch class " +
                         std::to_string(pitchClass));
            int note = song::padNote(song::PadVoicing(voicing), pitchClass);  // 1-based
            ASSERT_EQ(pad.sampleForNote[note - 1], voicing);
            const Sample& sample = *pad.samples[voicing];
            int root = note + sample.relativeNote - 12;  // what 64 frames a period sound at
            EXPECT_EQ((root - 1) % 12, pitchClass);
            EXPECT_GE(root + lowestVoice[voicing], noteE3);
            EXPECT_LE(root + lowestVoice[voicing], noteE3 + 11);
        }
    }
}

TEST(Song, CellsUseOnlyTheSongsEffectsAndVolumeColumnCommands) {
    const Module& song = composedSong();
    const std::set<int> effects = {effect::portamentoUp,  effect::tonePortamento,
                                   effect::vibrato,       effect::setPanning,
                                   effect::speedOrTempo,  effect::globalVolume,
                                   effect::globalVolumeSlide};
    for (int p = 0; p < song.patternCount; ++p) {
        const Pattern& pattern = song.patterns[p];
        EXPECT_TRUE(pattern.rowCount == 64 || pattern.rowCount == 128) << "pattern " << p;
        for (int c = 0; c < pattern.rowCount * song.channelCount; ++c) {
            const PatternCell& cell = pattern.cells[c];
            SCOPED_TRACE("pattern " + std::to_string(p) + " cell " + std::to_string(c));
            EXPECT_TRUE(cell.note <= lastNote || cell.note == noteKeyOff);
            EXPECT_LE(cell.instrument, song.instrumentCount);
            // Nothing, a volume (0..64), a volume slide down or up, a panning.
            EXPECT_TRUE(cell.volume == 0 || (cell.volume >= 0x10 && cell.volume <= 0x50) ||
                        (cell.volume >= 0x60 && cell.volume <= 0x7F) ||
                        (cell.volume >= 0xC0 && cell.volume <= 0xCF))
                << "volume column " << int(cell.volume);
            bool none = cell.effect == 0 && cell.effectParam == 0;
            EXPECT_TRUE(none || effects.count(cell.effect))
                << "effect " << int(cell.effect) << " " << int(cell.effectParam);
        }
    }
}

}  // namespace
}  // namespace quarbtro
