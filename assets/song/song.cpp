#include "assets/song/song.h"

#include <algorithm>

#include "assets/song/instruments.h"
#include "assets/song/score.h"
#include "player/module_draft.h"
#include "player/xm_writer.h"

namespace quarbtro::song {

// A minor, at speed 3: eight rows to a beat (a quarter of a second in the drive), four beats to
// a bar, the kick on one and three and the snare on two and four. The sections and their tempi
// are chosen so that each section starts within two rows of the scene it plays under:
//
//   order  section        rows  BPM  starts at
//   0      intro            64  224   0.000 s   black screen
//   1-4    theme           448  226   2.142 s   scroller from 2.2 s
//   5-10   drive           576  240  16.984 s   tunnel from 17.0 s
//   11     close           128  192  34.969 s   credits from 35.0 s
//   12     ending           64  192  39.968 s   blue screen from 40.0 s; ends 42.467 s
//
// (A row lasts three ticks of floor(44100 × 2.5 / BPM) frames.) Every pattern states its tempo
// in its first row, so any order position plays at its section's speed. The song then loops to
// order 0.
//
// The tune is the motif the theme opens with, A C E D C B, foretold slowly on black: stated
// softly, repeated with the drums, answered; then carried by the drive and answered again, sung
// slowly over the pads in the breakdown, and in the climax moved up to F and climbing to C6
// over that slow motif as a counter-line; recalled under the credits, and its last four notes
// close the song.
//
// The mix: the kick and the bass carry the weight below 100 Hz, the chords stay thin and low,
// and the lead, brightest and loudest of the pitched parts, sings above them. Each drop arrives
// louder than what leads into it: the roll before it stops a beat early, and crash, kick and
// bass land together on its downbeat.

namespace {

const std::uint8_t c4 = noteNumber("C4");
const std::uint8_t openHat = noteNumber("E4");  // the cymbal a little brighter, choked

constexpr int echoPanning = 200;        // right of the centred lead
constexpr int counterLinePanning = 80;  // left of it
constexpr int beat = 8;                 // rows
constexpr int driveBassOctave = 1;      // the drive's roots from E-1 (41 Hz) to D#2

// The global volume the song plays at: full. The instruments' own levels keep the loudest
// moments (a crash on a kick under the climax) under -1 dBFS.
constexpr int masterVolume = 64;

// Every note the channel starts from `fromRow` on at this volume (0..64).
void notesAt(PatternScore& p, Channel channel, int level, int fromRow = 0) {
    for (int row = fromRow; row < p.rows(); ++row) {
        if (p.cell(row, channel).instrument != 0) p.cell(row, channel).volume = volume(level);
    }
}

// Every note the channel starts with an instrument number (which brings back the sample's own
// panning) panned here (0..255).
void panNotes(PatternScore& p, Channel channel, int panning) {
    for (int row = 0; row < p.rows(); ++row) {
        if (p.cell(row, channel).instrument != 0) {
            p.effect(row, channel, effect::setPanning, std::uint8_t(panning));
        }
    }
}

// The same drum bar in every bar of the pattern; an empty string leaves that drum out.
void groove(PatternScore& p, const Instruments& in, std::string_view kick, std::string_view snare,
            std::string_view hats) {
    for (int row = 0; row < p.rows(); row += rowsPerBar) {
        if (!kick.empty()) p.hits(kickChannel, in.kick, c4, kick, row);
        if (!snare.empty()) p.hits(snareChannel, in.snare, c4, snare, row);
        if (!hats.empty()) p.hits(hatChannel, in.hat, c4, hats, row);
    }
}

// Open hi-hats (the cymbal, choked by the next closed one) in every bar.
void openHats(PatternScore& p, const Instruments& in, std::string_view steps) {
    for (int row = 0; row < p.rows(); row += rowsPerBar) {
        p.hits(hatChannel, in.cymbal, openHat, steps, row);
    }
}

// The pads dip under each kick and come back within a third of a second: they breathe with
// the beat instead of filling the gaps between the drums.
void duckPads(PatternScore& p, const Instruments& in) { p.padDuck(in.kick, 0.5, 10); }

// A drop's downbeat: the crash, and the kick at full strength.
void downbeat(PatternScore& p, const Instruments& in) {
    p.play(0, hatChannel, c4, in.cymbal);
    p.play(0, kickChannel, c4, in.kick);
}

// Two bars over A minor and E: the pad swells in from silence, the lead foretells the motif
// slowly, the pluck echoing it, the bass enters on E and a snare roll climbs into the theme.
// The first two rows stay silent: when the song loops, the intro's first 67 ms are all that
// play before it quits.
int intro(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(224);
    p.effect(0, snareChannel, effect::globalVolume, masterVolume);  // back from the ending's fade
    for (Channel channel : {bassChannel, leadChannel, pluckChannel, padChannel, padDoubleChannel}) {
        p.keyOff(0, channel);
    }
    p.pads(chords({"Am"}), 2, true);
    p.pads(chords({"E/G#"}), rowsPerBar + 2);
    p.padSwell(3, 2 * rowsPerBar, 8, 22);
    p.melody(leadChannel, in.lead, "A4:6 C5:2 E5:8 | D5:6 C5:2 B4:7", 2);
    notesAt(p, leadChannel, 30);
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, volume(6), echoPanning);
    p.bassline(chords({"E"}), "R...............", rowsPerBar, volume(30));
    p.hits(hatChannel, in.hat, c4, "..3...5...7...9.", rowsPerBar);
    for (int hit = 0; hit < 8; ++hit) {
        p.play(rowsPerBar + 16 + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + hit), in.snare,
               volume(8 + 3 * hit));
    }
    return p.number();
}

// The theme's chords, voiced so that the pads move by steps: A C E, A C F, G C E, G B D.
const std::vector<Chord> themeHarmony = chords({"Am", "F/A", "C/G", "G"});

// The theme's first phrase: the motif over A minor, its answer falling to F, climbing again
// over C, resting on D over G.
constexpr std::string_view themePhrase =
    "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | C5:6 A4:2 F4:4 A4:4 |"
    "G4:4 C5:2 E5:4 G5:2 F5:2 E5:2 | D5:8 r:2 B4:2 D5:2 E5:2";

// The theme's bass: the root held over its chord, a second root and the octave leading on.
constexpr std::string_view themeBass = "R.......R.....O.";

// The first statement, soft: pads, a held bass, the lead with its echo on the right, closed
// hi-hats, a soft kick and a rim-soft snare.
int themeSoft(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.padVolume(0, 14);
    p.bassline(themeHarmony, "R...........R...", 0, volume(30));
    groove(p, in, "9.......6.......", "........7.......", "9...4...9...4...");
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 34);
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, volume(6), echoPanning);
    return p.number();
}

// The theme's beat: kick on one and three (and a push after the third every other bar), the
// snare on two and four, sixteenth hi-hats with accents; in the phrase's last bar the drums stop
// for its second half, but for a snare pick-up.
void themeBeat(PatternScore& p, const Instruments& in) {
    for (int row = 0; row < p.rows(); row += 2 * rowsPerBar) {
        p.hits(kickChannel, in.kick, c4, "d.......b.......", row);
        p.hits(kickChannel, in.kick, c4, "d.........9.....", row + rowsPerBar);
    }
    for (int row = 0; row < 3 * rowsPerBar; row += rowsPerBar) {
        p.hits(snareChannel, in.snare, c4, "....x.......x...", row);
        p.hits(hatChannel, in.hat, c4, "d.5.9.5.d.5.9.5.", row);
    }
    p.hits(snareChannel, in.snare, c4, "....x.......6.9.", 3 * rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "d.5.9.5.", 3 * rowsPerBar);
}

// The same phrase with the drums, and the pluck's arpeggio an octave above the chords.
int themeFull(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.padVolume(0, 16);
    p.bassline(themeHarmony, themeBass, 0, volume(34));
    themeBeat(p, in);
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 40);
    p.arpeggio(pluckChannel, in.pluck, themeHarmony, "0.1.2.3.2.1.2.3.", 4, volume(26));
    duckPads(p, in);
    return p.number();
}

// The answer: the motif again, then climbing to A over F with its major seventh, and coming to
// rest on G, over open hi-hats, a crash on its downbeat and a turnaround of two chords in its
// last bar.
int themeAnswer(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(chords({"Am", "Fmaj7", "C/G"}));
    p.pads(chords({"Dm"}), 3 * rowsPerBar);
    p.pads(chords({"G/B"}), 3 * rowsPerBar + 2 * beat);
    p.padVolume(0, 16);
    p.padSwell(2 * rowsPerBar, 4 * rowsPerBar, 16, 22);
    std::vector<Chord> harmony = chords({"Am", "F", "C"});
    p.bassline(harmony, themeBass, 0, volume(34));
    p.bassline(chords({"D"}), "R.....O.........", 3 * rowsPerBar, volume(34));
    p.bassline(chords({"G"}), "R...............", 3 * rowsPerBar + 2 * beat, volume(34));
    themeBeat(p, in);
    downbeat(p, in);
    openHats(p, in, "............9...");
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 E5:2 | A5:6 G5:2 F5:4 E5:2 C5:2 |"
             "E5:4 D5:2 C5:4 D5:2 E5:2 G5:2 | D5:4 /G5:8 r:4");
    notesAt(p, leadChannel, 40);
    p.arpeggio(pluckChannel, in.pluck, harmony, "0.1.2.1.4.2.1.2.", 4, volume(26));
    duckPads(p, in);
    return p.number();
}

// The song's one riser, two bars on F and E: the pads swell, the bass pulses, the kick comes
// closer, a snare roll grows to volume 42 and the pluck runs up; all of it stops a beat
// before the drive, the pads holding.
int build(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(226);
    std::vector<Chord> harmony = chords({"F/A", "E/G#"});
    p.pads(harmony);
    p.padSwell(0, 3 * beat, 16, 30);
    p.bassline({harmony[0]}, "R...R...R...O...", 0, volume(32));
    p.bassline({harmony[1]}, "R...R...R...^...", rowsPerBar, volume(36));
    p.hits(kickChannel, in.kick, c4, "x.......9.......");
    p.hits(kickChannel, in.kick, c4, "9...b...d.......", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "..5...7...9...b.");
    for (int hit = 0; hit < 8; ++hit) {
        p.play(hit * 2 * rowsPerStep, snareChannel, std::uint8_t(c4 + hit / 2), in.snare,
               volume(6 + 2 * hit));
    }
    for (int hit = 0; hit < 12; ++hit) {
        p.play(rowsPerBar + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + 4 + hit / 2),
               in.snare, volume(20 + 2 * hit));
    }
    p.melody(leadChannel, in.lead, "A4:8 C5:8 | B4:12 r:4");
    notesAt(p, leadChannel, 40);
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0.1.2.3.4.5.6.7.", 3, volume(26));
    p.arpeggio(pluckChannel, in.pluck, {harmony[1]}, "012345670123....", 3, volume(32),
               rowsPerBar);
    duckPads(p, in);
    return p.number();
}

// The drive's chords, the pads moving by steps: A C E, B D G, C F A, B E G#.
const std::vector<Chord> driveHarmony = chords({"Am", "G/B", "F/C", "E/B"});

// The drive's tune: the motif over A minor, the same figure a step down over G, the motif's
// shape again over F, and the leading tone over E.
constexpr std::string_view driveMotif =
    "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | D5:6 B4:2 G4:4 B4:4 |"
    "A4:4 C5:2 F5:4 E5:2 D5:2 C5:2 | B4:6 E5:2 G#4:8";

// The drive's beat: the kick on one and three with a push every other bar, the snare on two
// and four, hi-hats in eighths with open ones between the beats; in the last bar a fill over
// the kick's first half only.
void driveBeat(PatternScore& p, const Instruments& in, std::string_view push,
               std::string_view fill) {
    for (int row = 0; row < p.rows(); row += rowsPerBar) {
        bool last = row + rowsPerBar == p.rows();
        std::string_view kick = row % (2 * rowsPerBar) ? push : "x.......x.......";
        p.hits(kickChannel, in.kick, c4, last ? "x.....8........." : kick, row);
        p.hits(snareChannel, in.snare, c4, last ? fill : "....x.......x...", row);
        p.hits(hatChannel, in.hat, c4, "c.6.9.6.c.6.9.6.", row);
    }
    openHats(p, in, "......a.......a.");
    downbeat(p, in);
}

// The first half of the drive: the bass an octave lower with gaps between its long notes, and
// the lead calling with the motif.
int drive(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.padVolume(0, 30);
    p.padSwell(rowsPerBar, 2 * rowsPerBar, 30, 22);
    p.bassline(driveHarmony, "R.....R...^.O...", 0, volume(59), driveBassOctave);
    driveBeat(p, in, "x.....8.x.......", "....x.x.x.xx....");
    p.melody(leadChannel, in.lead, driveMotif);
    notesAt(p, leadChannel, 50);
    duckPads(p, in);
    return p.number();
}

// Its answer, falling where the motif climbs.
constexpr std::string_view driveAnswerPhrase =
    "E5:6 D5:2 C5:4 A4:4 | B4:6 C5:2 D5:4 G4:4 | A4:6 C5:2 F5:4 E5:4 | E5:4 D5:4 B4:8";

// The drive's second half: the lead answers over the same chords and a busier kick, the pluck
// echoing it on the right.
int driveAnswer(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.padVolume(0, 26);
    p.bassline(driveHarmony, "R.....R...^.O...", 0, volume(59), driveBassOctave);
    driveBeat(p, in, "x.....8.x.8.....", "....x...x.x.xx..");
    p.melody(leadChannel, in.lead, driveAnswerPhrase);
    notesAt(p, leadChannel, 50);
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, volume(14), echoPanning);
    duckPads(p, in);
    return p.number();
}

// Two bars around 25 s with the pads and the lead alone, as the song began: the motif slowly,
// over A minor and E.
int breakdown(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    for (Channel channel : {bassChannel, pluckChannel}) p.keyOff(0, channel);
    p.pads(chords({"Am", "E/G#"}));
    p.padSwell(0, 2 * rowsPerBar, 14, 24);
    p.melody(leadChannel, in.lead, "A4:6 C5:2 E5:8 | D5:6 C5:2 B4:8");
    notesAt(p, leadChannel, 40);
    return p.number();
}

// Two bars on F held, which lead back into the drive without a riser: the pads swell and sweep
// across the stereo field, the kick and the bass return as they came before the first drop,
// toms tumble in the second bar and everything but the pads stops for the last beat.
int swell(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    p.pads(chords({"F/A"}));
    p.padSwell(0, 7 * beat, 22, 34);
    p.padPanSweep(0, 2 * rowsPerBar, 88, 200);
    p.bassline(chords({"F", "F"}), "R...R...R...O...", 0, volume(50), driveBassOctave);
    p.keyOff(rowsPerBar + 3 * beat, bassChannel);
    p.hits(kickChannel, in.kick, c4, "x.......9.......");
    p.hits(kickChannel, in.kick, c4, "b.......", rowsPerBar);
    const char* toms[] = {"A4", "F4", "D4", "C4"};
    for (int hit = 0; hit < 4; ++hit) {
        p.play(rowsPerBar + 2 * beat + hit * rowsPerStep, kickChannel, noteNumber(toms[hit]),
               in.kick, volume(36 + 4 * hit));
    }
    p.hits(hatChannel, in.hat, c4, "..5...7...9...b.");
    p.hits(hatChannel, in.hat, c4, "c.6.c.6.", rowsPerBar);
    p.hits(snareChannel, in.snare, c4, "....x.......x...");
    p.melody(leadChannel, in.lead, "A4:8 C5:8 | F5:12 r:4");
    notesAt(p, leadChannel, 42);
    duckPads(p, in);
    return p.number();
}

// The climax: the bass pumping in short notes on the beat; the lead states the motif and then
// climbs, the motif moved up to F rising to C6, over the breakdown's slow motif, which the
// pluck's channel sings an octave below with the lead's voice.
int climax(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.padVolume(0, 30);
    p.padSwell(rowsPerBar, 2 * rowsPerBar, 30, 24);
    p.bassline(driveHarmony, "R.^.R.^.R.^.R.O^", 0, volume(59), driveBassOctave);
    driveBeat(p, in, "x.....8.x.8.....", "....x.x.x.xx....");
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | D5:6 B4:2 G4:4 B4:4 |"
             "F5:4 A5:2 C6:4 B5:2 A5:2 G5:2 | B5:6 G#5:2 E5:8");
    notesAt(p, leadChannel, 52);
    p.melody(pluckChannel, in.lead,
             "A3:6 C4:2 E4:8 | D4:6 C4:2 B3:8 | C4:6 A3:2 F3:8 | E4:6 D4:2 B3:8");
    notesAt(p, pluckChannel, 16);
    panNotes(p, pluckChannel, counterLinePanning);
    duckPads(p, in);
    return p.number();
}

// Two bars on F and E, the climax's cadence once more: crash, kick and bass on the downbeat,
// the melody holds high, toms tumble down, and the drive stops a beat before the credits.
int driveEnd(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    std::vector<Chord> harmony = chords({"F/C", "E/B"});
    p.pads(harmony);
    p.padVolume(0, 28);
    p.padSwell(rowsPerBar, 2 * rowsPerBar, 28, 18);
    p.bassline({harmony[0]}, "R.....R...^.O...", 0, volume(59), driveBassOctave);
    p.bassline({harmony[1]}, "R.......R.....^.", rowsPerBar, volume(54), driveBassOctave);
    p.hits(kickChannel, in.kick, c4, "x.......x.......");
    p.hits(kickChannel, in.kick, c4, "x...............", rowsPerBar);
    const char* toms[] = {"A4", "A4", "F4", "F4", "D4", "D4"};
    for (int hit = 0; hit < 6; ++hit) {
        p.play(rowsPerBar + (6 + hit) * rowsPerStep, kickChannel, noteNumber(toms[hit]), in.kick,
               volume(hit % 2 ? 40 : 56));
    }
    downbeat(p, in);
    p.hits(snareChannel, in.snare, c4, "....x.......x...");
    p.hits(hatChannel, in.hat, c4, "..6.9.6.c.6.9.6.");
    p.hits(hatChannel, in.cymbal, openHat, "......a.......a.");
    p.hits(hatChannel, in.hat, c4, "c.6.9.6.........", rowsPerBar);
    p.melody(leadChannel, in.lead, "A5:4 C6:2 A5:6 G5:2 F5:2 | E5:12 r:4");
    notesAt(p, leadChannel, 48);
    p.keyOff(0, pluckChannel);
    duckPads(p, in);
    return p.number();
}

// The close under the credits, slower: the theme's first phrase once more, softly, over a held
// bass and a kick on the downbeat, hi-hats and a soft cymbal ringing the first bar.
int close(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(192);
    p.pads(themeHarmony);
    p.padVolume(0, 16);
    p.bassline(themeHarmony, "R...........R...", 0, volume(32));
    groove(p, in, "b...............", "........7.......", "9...4...9...4...");
    p.play(0, hatChannel, c4, in.cymbal, volume(20));
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 38);
    duckPads(p, in);
    return p.number();
}

// The ending, unhurried: the motif's last notes, D C over F for two beats and B over E for two,
// fall to A over a final A minor chord on the downbeat at 41.2 s, with the bass, a kick and a
// soft crash. The lead holds its A; the pluck's last notes end on A above it before a global
// volume slide from 41.6 s reaches silence at 42.01 s. Every voice is released in time to have
// faded before the song loops (42.47 s), where the intro puts the global volume back.
int ending(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(192);
    p.pads(chords({"F/A"}));
    p.pads(chords({"E/G#"}), 2 * beat);
    p.pads(chords({"Am"}), rowsPerBar);
    p.padVolume(0, 16);
    p.play(0, bassChannel, noteNumber("F2"), in.bass, volume(36));
    p.play(2 * beat, bassChannel, noteNumber("E2"), in.bass, volume(36));
    p.play(rowsPerBar, bassChannel, noteNumber("A1"), in.bass, volume(44));
    p.play(0, kickChannel, c4, in.kick, volume(36));
    p.play(rowsPerBar, kickChannel, c4, in.kick, volume(52));
    p.hits(hatChannel, in.hat, c4, "9...4...9...4...");
    p.play(rowsPerBar, hatChannel, c4, in.cymbal, volume(18));
    p.play(2 * beat + 4, snareChannel, c4, in.snare, volume(10));
    p.play(2 * beat + 6, snareChannel, c4, in.snare, volume(16));
    p.melody(leadChannel, in.lead, "D5:4 C5:4 B4:8 A4:10 r:2");
    notesAt(p, leadChannel, 38);
    p.melody(pluckChannel, in.pluck, "E5:1 C6:1 A5:2 r:1", rowsPerBar);
    notesAt(p, pluckChannel, 26);
    // Released so that each has faded (the pads in half a second, the bass and the pluck
    // faster) before the song loops.
    for (Channel channel : {padChannel, padDoubleChannel}) p.keyOff(46, channel);
    p.keyOff(52, bassChannel);
    // Three steps down on each later tick, six a row: from row 42 (41.61 s) the master volume
    // is gone within 11 rows, on row 52 (42.01 s).
    for (int row = 42; row < 42 + (masterVolume + 5) / 6; ++row) {
        p.effect(row, snareChannel, effect::globalVolumeSlide, 0x03);
    }
    return p.number();
}

}  // namespace

void composeSong(ModuleDraft& draft) {
    Instruments in = addInstruments(draft);
    std::vector<int> order = {
        intro(draft, in),
        themeSoft(draft, in),
        themeFull(draft, in),
        themeAnswer(draft, in),
        build(draft, in),
        drive(draft, in),
        driveAnswer(draft, in),
        breakdown(draft, in),
        swell(draft, in),
        climax(draft, in),
        driveEnd(draft, in),
        close(draft, in),
        ending(draft, in),
    };

    Module& song = draft.song;
    song.songLength = std::int16_t(order.size());
    song.restartPosition = 0;
    song.flags = linearFrequencyTable;
    song.defaultSpeed = 3;
    song.defaultBpm = 224;
    for (std::size_t position = 0; position < order.size(); ++position) {
        song.orderTable[position] = std::uint8_t(order[position]);
    }
}

std::vector<std::uint8_t> songBytes() {
    ModuleDraft draft(channelCount);
    composeSong(draft);
    XmWriteOptions options;
    options.songName = "Quarbtro";
    return writeXm(draft.module(), options);
}

}  // namespace quarbtro::song
