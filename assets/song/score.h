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
    kickChannel,
    snareChannel,
    hatChannel,
    bassChannel,
    leadChannel,
    pluckChannel,  // arpeggios, or echoes of the melody
    padChannel,
    padDoubleChannel,  // the same chords, detuned up an eighth of a semitone
    channelCount
};

inline constexpr int rowsPerStep = 2;  // a sixteenth note
inline constexpr int stepsPerBar = 16;
inline constexpr int rowsPerBar = rowsPerStep * stepsPerBar;

inline constexpr std::uint8_t keyOffNote = 255;

// The effects the song uses.
inline constexpr std::uint8_t portamentoUp = 0x1;
inline constexpr std::uint8_t tonePortamento = 0x3;
inline constexpr std::uint8_t vibrato = 0x4;
inline constexpr std::uint8_t speedOrTempo = 0xF;

// Volume-column byte for a note quieter than its sample's own volume: level 0..15 of 64.
constexpr std::uint8_t quiet(int level) { return std::uint8_t(0x10 + level); }

// "A4", "C#5": the row note (C-0 = 1, A-4 = 58).
std::uint8_t noteNumber(std::string_view name);

// "Am", "F", "G#m": a triad by root pitch class (C = 0) and quality.
struct Chord {
    int pitchClass;
    bool minor;
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

    void play(int row, Channel channel, std::uint8_t note, std::uint8_t instrument,
              std::uint8_t volume = 0);
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
    // volume. Whatever would fall beyond the pattern is dropped.
    void echo(Channel from, Channel to, int delayRows, std::uint8_t volume);

    // Drum hits, one character per sixteenth: 'x' at the sample's volume, '0'..'9' and 'a'..'f'
    // at that quiet level, '.' nothing.
    void hits(Channel channel, std::uint8_t instrument, std::uint8_t note, std::string_view steps,
              int startRow = 0);

    // A bass line over one chord per bar, the rhythm repeated for each: 'R' the root, 'O' the
    // root an octave up, 'F' the fifth, '^' key-off, '.' nothing (the note rings on). volume 0
    // plays at the sample's own volume.
    void bassline(const std::vector<Chord>& chords, std::string_view rhythm, int startRow = 0,
                  std::uint8_t volume = 0);

    // An arpeggio over one chord per bar: each digit is a chord tone (see chordTone), '.' is
    // nothing. volume 0 plays at the sample's own volume.
    void arpeggio(Channel channel, std::uint8_t instrument, const std::vector<Chord>& chords,
                  std::string_view pattern, int octave, std::uint8_t volume = 0,
                  int startRow = 0);

    // One chord per bar on the pad and on its double, which is bent up an eighth of a semitone
    // for a slow chorus.
    void pads(const std::vector<Chord>& chords, int startRow = 0);

private:
    ModuleDraft& draft_;
    const Instruments& instruments_;
    int number_;
    int rows_;
};

}  // namespace quarbtro::song
