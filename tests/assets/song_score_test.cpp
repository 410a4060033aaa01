// The song generator's writing helpers and tuning: note names, chord tones, the melody text,
// echoes, drum steps, pads and their swells land in the cells as written; relative note and
// finetune make the player sound a sample at its written pitch.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

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

TEST(SongScore, ChordNamesGiveThePadsVoicing) {
    EXPECT_EQ(chord("F/A").lowest, 1);
    EXPECT_EQ(chord("C/G").lowest, 2);
    EXPECT_EQ(chord("G#m/B").lowest, 1);
    EXPECT_TRUE(chord("G#m/B").minor);
    EXPECT_TRUE(chord("Fmaj7").seventh);
    EXPECT_FALSE(chord("Fmaj7").minor);
    // The voicing leaves the tones the bass and the arpeggios play alone.
    EXPECT_EQ(chordTone(chord("F/A"), 0, 3), chordTone(chord("F"), 0, 3));
    EXPECT_THROW(chord("F/B"), std::invalid_argument);
    EXPECT_THROW(chord("Fsus4"), std::invalid_argument);
}

class ScoreCells : public ::testing::Test {
protected:
    ScoreCells() {
        // Instrument 1: a drum whose sample plays at volume 40.
        draft.addSample(draft.addInstrument(), {0, 100, -100, 0}).volume = 40;
        instruments.pad = 2;
    }
    ModuleDraft draft{channelCount};
    Instruments instruments{};
    PatternScore score{draft, instruments, 64};
    PatternCell at(int row, Channel channel) { return score.cell(row, channel); }
};

TEST_F(ScoreCells, MelodyWritesNotesRestsSlidesAndLateVibrato) {
    score.melody(leadChannel, 5, "A4:2 r:2 | C5:8 /E5:4");
    EXPECT_EQ(at(0, leadChannel).note, noteNumber("A4"));
    EXPECT_EQ(at(0, leadChannel).instrument, 5);
    EXPECT_EQ(at(4, leadChannel).note, noteKeyOff);
    EXPECT_EQ(at(8, leadChannel).note, noteNumber("C5"));
    // Vibrato from the C's second beat (row 16) to its end (row 23), not before.
    EXPECT_EQ(at(15, leadChannel).effect, 0);
    for (int row = 16; row < 24; ++row) {
        EXPECT_EQ(at(row, leadChannel).effect, effect::vibrato) << row;
    }
    // The slide: the note without an instrument (its envelope runs on), then the portamento
    // carried on with its remembered speed.
    EXPECT_EQ(at(24, leadChannel).note, noteNumber("E5"));
    EXPECT_EQ(at(24, leadChannel).instrument, 0);
    EXPECT_EQ(at(24, leadChannel).effect, effect::tonePortamento);
    EXPECT_NE(at(24, leadChannel).effectParam, 0);
    for (int row = 25; row < 32; ++row) {
        EXPECT_EQ(at(row, leadChannel).effect, effect::tonePortamento) << row;
        EXPECT_EQ(at(row, leadChannel).effectParam, 0) << row;
    }
    EXPECT_EQ(at(32, leadChannel).effect, 0);
}

TEST_F(ScoreCells, EchoRepeatsNotesLaterQuieterAndElsewhere) {
    score.melody(leadChannel, 5, "A4:2 r:2 /C5:2");
    score.echo(leadChannel, pluckChannel, 6, volume(10), 200);
    EXPECT_EQ(at(6, pluckChannel).note, noteNumber("A4"));
    EXPECT_EQ(at(6, pluckChannel).instrument, 5);
    EXPECT_EQ(at(6, pluckChannel).volume, 0x1A);
    // The instrument number resets the panning: the echo sets its own again.
    EXPECT_EQ(at(6, pluckChannel).effect, effect::setPanning);
    EXPECT_EQ(at(6, pluckChannel).effectParam, 200);
    EXPECT_EQ(at(10, pluckChannel).note, noteKeyOff);
    EXPECT_EQ(at(10, pluckChannel).volume, 0);
    EXPECT_EQ(at(14, pluckChannel).effect, effect::tonePortamento);
    EXPECT_EQ(at(0, pluckChannel).note, 0);
}

TEST_F(ScoreCells, DrumStepsAreSixteenthsAtShareOfTheSamplesVolume) {
    score.hits(hatChannel, 1, noteNumber("C4"), "x.7.f.0", 32);
    EXPECT_EQ(at(32, hatChannel).note, noteNumber("C4"));
    EXPECT_EQ(at(32, hatChannel).volume, 0);  // the sample's own 40
    EXPECT_EQ(at(34, hatChannel).note, 0);
    EXPECT_EQ(at(36, hatChannel).volume, volume(20));  // half
    EXPECT_EQ(at(40, hatChannel).volume, volume(40));
    EXPECT_EQ(at(44, hatChannel).volume, volume(3));  // a sixteenth, rounded
}

TEST_F(ScoreCells, PadsChangeChordsWithoutANewAttack) {
    score.pads(chords({"Am", "F/A"}), 0, true);
    // The fresh start: the instrument, the pad left and its double right.
    EXPECT_EQ(at(0, padChannel).note, padNote(padMinor, 9));
    EXPECT_EQ(at(0, padChannel).instrument, 2);
    EXPECT_EQ(at(0, padChannel).effect, effect::setPanning);
    EXPECT_LT(at(0, padChannel).effectParam, 128);
    EXPECT_EQ(at(0, padDoubleChannel).instrument, 2);
    EXPECT_GT(at(0, padDoubleChannel).volume, panningColumn(8));
    EXPECT_LE(at(0, padDoubleChannel).volume, panningColumn(15));
    EXPECT_EQ(at(0, padDoubleChannel).effect, effect::portamentoUp);
    // The next chord, another voicing: written on that voicing's keys, without an instrument
    // number, so envelope, volume and panning carry on.
    EXPECT_EQ(at(32, padChannel).note, padNote(padMajorThird, 5));
    EXPECT_EQ(at(32, padChannel).instrument, 0);
    EXPECT_EQ(at(32, padDoubleChannel).instrument, 0);
    EXPECT_EQ(at(32, padDoubleChannel).effect, effect::portamentoUp);
    EXPECT_EQ(at(32, padChannel).effect, 0);
    EXPECT_THROW(score.pads(chords({"Am/C"}), 32), std::invalid_argument);
}

// The pad volume after each row when the volume column is played as the player does at three
// ticks a row: a volume sets it, a slide moves it on each of the two later ticks.
std::vector<int> padLevels(PatternScore& score, int rows) {
    std::vector<int> levels;
    int level = 0;
    for (int row = 0; row < rows; ++row) {
        std::uint8_t column = score.cell(row, padChannel).volume;
        EXPECT_EQ(column, score.cell(row, padDoubleChannel).volume) << row;
        if (column >= volume(0) && column <= volume(64)) level = column - volume(0);
        if (column >= volumeSlideDown(0) && column <= volumeSlideDown(15)) {
            level = std::max(0, level - 2 * (column - volumeSlideDown(0)));
        }
        if (column >= volumeSlideUp(0) && column <= volumeSlideUp(15)) {
            level = std::min(64, level + 2 * (column - volumeSlideUp(0)));
        }
        levels.push_back(level);
    }
    return levels;
}

TEST_F(ScoreCells, PadSwellsAndFadesArriveWithoutOvershooting) {
    score.padSwell(1, 40, 12, 60);
    score.padSwell(40, 64, 60, 20);
    std::vector<int> levels = padLevels(score, 64);
    EXPECT_EQ(levels[1], 12);
    EXPECT_NEAR(levels[39], 60, 1);
    EXPECT_NEAR(levels[63], 20, 1);
    for (int row = 2; row < 40; ++row) EXPECT_GE(levels[row], levels[row - 1]) << row;
    for (int row = 41; row < 64; ++row) EXPECT_LE(levels[row], levels[row - 1]) << row;
}

TEST_F(ScoreCells, APadVolumeNeverOverwritesAFreshPadsPanning) {
    score.pads(chords({"Am"}), 8, true);
    EXPECT_THROW(score.padVolume(8, 30), std::logic_error);
    EXPECT_NO_THROW(score.padSwell(9, 20, 10, 30));
}

TEST_F(ScoreCells, DuckedPadsDipUnderEachKickAndComeBack) {
    score.padVolume(0, 40);
    score.padSwell(32, 48, 40, 20);
    score.play(8, kickChannel, noteNumber("C4"), 1);
    score.play(40, kickChannel, noteNumber("C4"), 1);
    score.play(56, kickChannel, noteNumber("C4"), 3);  // not the kick
    score.padDuck(1, 0.5, 4);
    std::vector<int> levels = padLevels(score, 64);
    EXPECT_EQ(levels[7], 40);
    EXPECT_EQ(levels[8], 20);  // half, on the kick's row
    EXPECT_EQ(levels[10], 30);
    EXPECT_EQ(levels[12], 40);  // back after four rows
    // Under a fade, the dip follows the level the fade has reached.
    EXPECT_NEAR(levels[40], levels[39] / 2, 2);
    EXPECT_NEAR(levels[47], 20, 1);
    EXPECT_EQ(levels[56], levels[55]);
    // Volumes where the level changes, nothing where it holds.
    EXPECT_EQ(at(13, padChannel).volume, 0);
    EXPECT_EQ(at(8, padDoubleChannel).volume, volume(20));
}

TEST_F(ScoreCells, APanSweepMovesThePadAndMirrorsItsDouble) {
    score.pads(chords({"F", "G"}));
    score.padPanSweep(0, 64, 64, 190);
    EXPECT_EQ(at(0, padChannel).effectParam, 64);
    EXPECT_EQ(at(63, padChannel).effectParam, 190);
    EXPECT_EQ(at(1, padDoubleChannel).effect, effect::setPanning);
    EXPECT_EQ(at(1, padDoubleChannel).effectParam, 255 - at(1, padChannel).effectParam);
    // On a chord change the double keeps its bend.
    EXPECT_EQ(at(32, padDoubleChannel).effect, effect::portamentoUp);
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
