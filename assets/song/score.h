#pragma once
// Writing music into patterns: note names, chords, melodies in a compact text form, step
// rhythms for drums, bass lines, arpeggios and pads. The composition (song.cpp) is written with
// these, so that it reads like a score rather than like cell assignments.
//
// Time: eight rows to a beat, a sixteenth note is two rows, a bar of four beats is 32 rows.

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "assets/song/instruments.h"
#include "player/module_draft.h"

namespace quarbtro::song {

// What each of the eight channels plays.
enum Channel : int {
    kickChannel,  // the kick, and toms
    snareChannel,
    hatChannel,  // closed hi-hats, and the cymbal: open hi-hats and crashes
    bassChannel,
    leadChannel,
    pluckChannel,  // arpeggios, echoes of the melody, a last reminder of the motif
    padChannel,
    padDoubleChannel,  // the same chords, bent up an eighth of a semitone, on the other side
    channelCount
};

inline constexpr int rowsPerStep = 2;  // a sixteenth note
inline constexpr int stepsPerBar = 16;
inline constexpr int rowsPerBar = rowsPerStep * stepsPerBar;

// Effect numbers and the key-off note are the song model's (player/module.h): effect::vibrato,
// noteKeyOff and so on.

// Volume-column bytes: a volume of 0..64, a slide by 1..15 on each later tick of the row (two
// at three ticks a row), a panning of 0..15 (in sixteenths of the range).
constexpr std::uint8_t volume(int level) { return std::uint8_t(0x10 + level); }
constexpr std::uint8_t volumeSlideDown(int step) { return std::uint8_t(0x60 + step); }
constexpr std::uint8_t volumeSlideUp(int step) { return std::uint8_t(0x70 + step); }
constexpr std::uint8_t panningColumn(int sixteenths) { return std::uint8_t(0xC0 + sixteenths); }

// "A4", "C#5": the row note (C-0 = 1, A-4 = 58).
std::uint8_t noteNumber(std::string_view name);

// "Am", "F", "G#m": a triad by root pitch class (C = 0) and quality. For the pads, a voicing
// too: "F/A" puts the third lowest, "C/G" the fifth (under the root), "Fmaj7" adds the major
// seventh; the bass and the arpeggios play the triad from its root whatever the voicing.
struct Chord {
    int pitchClass;
    bool minor;
    int lowest = 0;        // the chord tone the pad voices lowest: 0 root, 1 third, 2 fifth
    bool seventh = false;  // a major seventh added
};
Chord chord(std::string_view name);
std::vector<Chord> chords(std::initializer_list<std::string_view> names);

// The row note of a chord tone: 0 root, 1 third, 2 fifth, 3 root an octave up, and so on. The
// root lies between E of `octave` and D# above it, so every chord stays in one register.
std::uint8_t chordTone(const Chord& chord, int tone, int octave);

class PatternScore {
public:
    PatternScore(ModuleDraft& draft, const Instruments& instruments, int rows);

    int number() const { return number_; }
    int rows() const { return rows_; }
    PatternCell& cell(int row, Channel channel);

    // volumeByte is the volume column: 0 plays at the sample's own volume.
    void play(int row, Channel channel, std::uint8_t note, std::uint8_t instrument,
              std::uint8_t volumeByte = 0);
    void keyOff(int row, Channel channel);
    void effect(int row, Channel channel, std::uint8_t type, std::uint8_t parameter);
    // Sets the BPM from row 0 on (in the kick channel's effect column).
    void tempo(int bpm);

    // A melody: tokens separated by blanks. "E5:4" is E-5 for four sixteenths, "/G5:8" slides
    // to G-5 without a new attack, "r:2" rests (key-off) for two sixteenths, "|" is a bar line
    // for the reader (it separates tokens like a blank). Notes of six sixteenths or more get a
    // vibrato from their second beat on.
    void melody(Channel channel, std::uint8_t instrument, std::string_view text, int startRow = 0);

    // Copies the notes, key-offs and slides of `from` into `to`, delayRows later, at a quiet
    // volume and with a panning of its own (0..255). Whatever would fall beyond the pattern is
    // dropped.
    void echo(Channel from, Channel to, int delayRows, std::uint8_t volumeByte, int panning);

    // Drum hits, one character per sixteenth: 'x' at the sample's own volume, a hex digit d at
    // (d + 1) / 16 of it ('3' a quarter, '7' half, 'f' all of it), '.' nothing.
    void hits(Channel channel, std::uint8_t instrument, std::uint8_t note, std::string_view steps,
              int startRow = 0);

    // A bass line over one chord per bar, the rhythm repeated for each: 'R' the root (from E of
    // `octave`: E-2, 82 Hz, or E-1, 41 Hz, to the D# above), 'O' the root an octave up, 'F' the
    // fifth, '^' key-off, '.' nothing (the note rings on).
    void bassline(const std::vector<Chord>& chords, std::string_view rhythm, int startRow = 0,
                  std::uint8_t volumeByte = 0, int octave = 2);

    // An arpeggio over one chord per bar: each digit is a chord tone (see chordTone), '.' is
    // nothing.
    void arpeggio(Channel channel, std::uint8_t instrument, const std::vector<Chord>& chords,
                  std::string_view pattern, int octave, std::uint8_t volumeByte = 0,
                  int startRow = 0);

    // One chord per bar on the pad and on its double, which is bent up an eighth of a semitone
    // for a slow chorus, each in its voicing (see padNote). The chords change without an
    // instrument number, so the pad's envelope, volume and panning carry on through them (no
    // new attack); `fresh` starts the pad anew with its instrument (after silence or a
    // key-off): it swells in, the pad left of centre and its double right of it.
    void pads(const std::vector<Chord>& chords, int startRow = 0, bool fresh = false);

    // The pad moves from panning `from` at fromRow to `to` at the last row before toRow (0..255,
    // a setting each row) and its double the mirror image, from 255 - from to 255 - to.
    void padPanSweep(int fromRow, int toRow, int from, int to);

    // The pads' volume moves from `from` at fromRow to `to` at toRow (0..64), by volume-column
    // slides: a swell or a fade. Not on the row of a fresh pad, whose double holds its panning
    // there.
    void padSwell(int fromRow, int toRow, int from, int to);

    // Both pads at this volume from `row` on.
    void padVolume(int row, int level);

    // The pads breathe with the beat: on each row where the kick channel strikes `kick` they
    // dip to (1 - depth) of their level and come back over `recoveryRows`. Follows the levels
    // the pads' volume column sets and slides to (row 0 must set one) and rewrites it as a
    // volume wherever the level heard changes.
    void padDuck(std::uint8_t kick, double depth, int recoveryRows);

private:
    // Refuses to overwrite the panning a fresh pad's double carries in its volume column.
    void setPadVolumeColumn(int row, Channel channel, std::uint8_t volumeByte);

    ModuleDraft& draft_;
    const Instruments& instruments_;
    int number_;
    int rows_;
};

}  // namespace quarbtro::song
