// The song generator's writing helpers and tuning: note names, chord tones, the melody text,
// echoes and drum steps land in the cells as written; relative note and finetune make the
// player sound a sample at its written pitch.

#include <gtest/gtest.h>

#include <cmath>

#include "assets/song/score.h"
#include "assets/song/synth.h"

namespace quarbtro::song {
namespace {

TEST(SongScore, NoteNamesCountFromCZero) {
    EXPECT_EQ(noteNumber("C0"), 1);
    EXPECT_EQ(noteNumber("A4"), 58);
    EXPECT_EQ(noteNumber("C#5"), 62);
    EXPECT_EQ(noteNumber("B7"), 96);
    EXPECT_THROW(noteNumber("H4"), std::invalid_argument);
    EXPECT_THROW(noteNumber("C8"), std::out_of_range);
}

TEST(SongScore, ChordRootsStayBetweenEAndDSharp) {
    EXPECT_EQ(chordTone(chord("Am"), 0, 3), noteNumber("A3"));
    EXPECT_EQ(chordTone(chord("Am"), 1, 3), noteNumber("C4"));
    EXPECT_EQ(chordTone(chord("Am"), 2, 3), noteNumber("E4"));
    EXPECT_EQ(chordTone(chord("Am"), 4, 3), noteNumber("C5"));
    EXPECT_EQ(chordTone(chord("E"), 0, 3), noteNumber("E3"));
    EXPECT_EQ(chordTone(chord("E"), 1, 3), noteNumber("G#3"));
    EXPECT_EQ(chordTone(chord("Dm"), 0, 3), noteNumber("D4"));
    EXPECT_EQ(chordTone(chord("C#m"), 1, 1), noteNumber("E2"));
}

class ScoreCells : public ::testing::Test {
protected:
    ModuleDraft draft{channelCount};
    Instruments instruments{};
    PatternScore score{draft, instruments, 64};
    PatternCell at(int row, Channel channel) { return score.cell(row, channel); }
};

TEST_F(ScoreCells, MelodyWritesNotesRestsSlidesAndLateVibrato) {
    score.melody(leadChannel, 5, "A4:2 r:2 | C5:8 /E5:4");
    EXPECT_EQ(at(0, leadChannel).note, noteNumber("A4"));
    EXPECT_EQ(at(0, leadChannel).instrument, 5);
    EXPECT_EQ(at(4, leadChannel).note, keyOffNote);
    EXPECT_EQ(at(8, leadChannel).note, noteNumber("C5"));
    // Vibrato from the C's second beat (row 16) to its end (row 23), not before.
    EXPECT_EQ(at(15, leadChannel).effect, 0);
    for (int row = 16; row < 24; ++row) EXPECT_EQ(at(row, leadChannel).effect, vibrato) << row;
    // The slide: the note without an instrument (its envelope runs on), then the portamento
    // carried on with its remembered speed.
    EXPECT_EQ(at(24, leadChannel).note, noteNumber("E5"));
    EXPECT_EQ(at(24, leadChannel).instrument, 0);
    EXPECT_EQ(at(24, leadChannel).effect, tonePortamento);
    EXPECT_NE(at(24, leadChannel).effectParam, 0);
    for (int row = 25; row < 32; ++row) {
        EXPECT_EQ(at(row, leadChannel).effect, tonePortamento) << row;
        EXPECT_EQ(at(row, leadChannel).effectParam, 0) << row;
    }
    EXPECT_EQ(at(32, leadChannel).effect, 0);
}

TEST_F(ScoreCells, EchoRepeatsNotesLaterAndQuieter) {
    score.melody(leadChannel, 5, "A4:2 r:2 /C5:2");
    score.echo(leadChannel, pluckChannel, 6, quiet(10));
    EXPECT_EQ(at(6, pluckChannel).note, noteNumber("A4"));
    EXPECT_EQ(at(6, pluckChannel).instrument, 5);
    EXPECT_EQ(at(6, pluckChannel).volume, 0x1A);
    EXPECT_EQ(at(10, pluckChannel).note, keyOffNote);
    EXPECT_EQ(at(10, pluckChannel).volume, 0);
    EXPECT_EQ(at(14, pluckChannel).effect, tonePortamento);
    EXPECT_EQ(at(0, pluckChannel).note, 0);
}

TEST_F(ScoreCells, DrumStepsAreSixteenthsWithQuietLevels) {
    score.hits(hatChannel, 3, noteNumber("C4"), "x.8.f", 32);
    EXPECT_EQ(at(32, hatChannel).note, noteNumber("C4"));
    EXPECT_EQ(at(32, hatChannel).volume, 0);
    EXPECT_EQ(at(34, hatChannel).note, 0);
    EXPECT_EQ(at(36, hatChannel).volume, 0x18);
    EXPECT_EQ(at(40, hatChannel).volume, 0x1F);
}

TEST_F(ScoreCells, AMelodyPastThePatternEndIsAnError) {
    EXPECT_THROW(score.melody(leadChannel, 5, "A4:16 A4:16 A4:16 A4:16 A4:1"), std::out_of_range);
}

// The player's linear table: 0-based note n with finetune f plays a sample at
// 8363 × 2^((n − 48) / 12 + trunc(f / 2) / 768) Hz.
double playbackRate(int note, Tuning tuning) {
    return 8363.0 *
           std::pow(2.0, (note + tuning.relativeNote - 48) / 12.0 + (tuning.finetune / 2) / 768.0);
}

TEST(SongTuning, PitchedSamplesSoundAtTheirWrittenNote) {
    // Content at 440 Hz sampled at the rate the player gives A-4: no correction at all.
    EXPECT_EQ(pitchTuning(440, 8363 * std::pow(2.0, 9 / 12.0)).relativeNote, 0);
    EXPECT_EQ(pitchTuning(440, 8363 * std::pow(2.0, 9 / 12.0)).finetune, 0);
    // One cycle in 64 frames: A-4 (0-based 57) must play 64 × 440 frames a second.
    Tuning cycle = pitchTuning(1, 64);
    EXPECT_EQ(cycle.relativeNote, 12);
    EXPECT_EQ(cycle.finetune % 2, 0);
    EXPECT_NEAR(1200 * std::log2(playbackRate(57, cycle) / (64 * 440.0)), 0, 1.0);  // cents
}

TEST(SongTuning, DrumsPlayAtTheirOwnRateOnCFour) {
    Tuning octaveUp = rateTuning(2 * 8363.0);
    EXPECT_EQ(octaveUp.relativeNote, 12);
    EXPECT_EQ(octaveUp.finetune, 0);
    EXPECT_NEAR(playbackRate(48, rateTuning(12530)), 12530, 12530 * 0.001);
}

}  // namespace
}  // namespace quarbtro::song
