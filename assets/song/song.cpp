#include "assets/song/song.h"

#include <algorithm>

#include "assets/song/instruments.h"
#include "assets/song/score.h"
#include "player/module_draft.h"
#include "player/xm_writer.h"

namespace quarbtro::song {

// A minor, at speed 3: eight rows to a beat, felt in half time (a kick or a snare every sixteen
// rows, half a second). The sections and their tempi are chosen so that each section starts
// within two rows of the scene it plays under:
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
// The tune is the motif the theme opens with, A C E D C B: stated softly, repeated with the
// drums, answered; then carried by the drive, sung alone over the pads in the breakdown, driven
// home, recalled under the credits, and its last four notes close the song.

namespace {

const std::uint8_t c4 = noteNumber("C4");
const std::uint8_t openHat = noteNumber("E4");  // the cymbal a little brighter, choked

constexpr int echoPanning = 200;  // right of the centred lead

// The global volume the song plays at: the mix's master level, a little under full so that the
// loudest moments (a crash on a kick under the full drive) keep their peaks under -1 dBFS.
constexpr int masterVolume = 56;

// Every note the channel starts from `fromRow` on at this volume (0..64).
void notesAt(PatternScore& p, Channel channel, int level, int fromRow = 0) {
    for (int row = fromRow; row < p.rows(); ++row) {
        if (p.cell(row, channel).instrument != 0) p.cell(row, channel).volume = volume(level);
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

// Two bars over A minor and E: the pad swells in from silence, the pluck foretells the motif,
// the bass enters on E and a snare roll climbs into the theme. The first two rows stay silent:
// when the song loops, the intro's first 67 ms are all that play before it quits.
int intro(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(224);
    p.effect(0, snareChannel, effect::globalVolume, masterVolume);  // back from the ending's fade
    for (Channel channel : {bassChannel, leadChannel, pluckChannel, padChannel, padDoubleChannel}) {
        p.keyOff(0, channel);
    }
    std::vector<Chord> harmony = chords({"Am", "E"});
    p.pads({harmony[0]}, 2, true);
    p.pads({harmony[1]}, rowsPerBar + 2);
    p.padSwell(3, 2 * rowsPerBar, 8, 26);
    p.melody(pluckChannel, in.pluck, "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | G#4:4 B4:4 E5:6", 2);
    notesAt(p, pluckChannel, 32);
    p.bassline({harmony[1]}, "R...............", rowsPerBar, volume(36));
    p.hits(hatChannel, in.hat, c4, "..5...8...b...e.", rowsPerBar);
    for (int hit = 0; hit < 8; ++hit) {
        p.play(rowsPerBar + 16 + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + hit), in.snare,
               volume(10 + 4 * hit));
    }
    return p.number();
}

const std::vector<Chord> themeHarmony = chords({"Am", "F", "C", "G"});

// The theme's first phrase: the motif over A minor, its answer falling to F, climbing again
// over C, resting on D over G.
constexpr std::string_view themePhrase =
    "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | C5:6 A4:2 F4:4 A4:4 |"
    "G4:4 C5:2 E5:4 G5:2 F5:2 E5:2 | D5:8 r:2 B4:2 D5:2 E5:2";

// The theme's bass: the root held over its chord, a second root and the octave leading on.
constexpr std::string_view themeBass = "R.......R.....O.";

// The first statement, soft: pads, a held bass, the lead with its echo on the right, closed
// hi-hats and a rim-soft snare on the backbeat; no kick yet.
int themeSoft(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.padVolume(0, 14);
    p.bassline(themeHarmony, "R...........R...", 0, volume(38));
    groove(p, in, "", "........7.......", "b...5...b...5...");
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 22);
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, volume(6), echoPanning);
    return p.number();
}

// The theme's beat: kick on one and three (and a push before the third every other bar), the
// snare on two and four, sixteenth hi-hats with accents; in the phrase's last bar the drums stop
// for its second half, but for a snare pick-up.
void themeBeat(PatternScore& p, const Instruments& in) {
    for (int row = 0; row < p.rows(); row += 2 * rowsPerBar) {
        p.hits(kickChannel, in.kick, c4, "x...............", row);
        p.hits(kickChannel, in.kick, c4, "x.........a.....", row + rowsPerBar);
    }
    for (int row = 0; row < 3 * rowsPerBar; row += rowsPerBar) {
        p.hits(snareChannel, in.snare, c4, "........x.......", row);
        p.hits(hatChannel, in.hat, c4, "d.5.9.5.d.5.9.5.", row);
    }
    p.hits(snareChannel, in.snare, c4, "............6.9.", 3 * rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "d.5.9.5.", 3 * rowsPerBar);
}

// The same phrase with the drums and an arpeggio under it.
int themeFull(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.padVolume(0, 16);
    p.bassline(themeHarmony, themeBass, 0, volume(40));
    themeBeat(p, in);
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 30);
    p.arpeggio(pluckChannel, in.pluck, themeHarmony, "0.1.2.3.2.1.2.1.", 3, volume(48));
    return p.number();
}

// The answer: the motif again, then climbing to A and coming to rest on G, over open hi-hats.
int themeAnswer(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.padVolume(0, 16);
    p.padSwell(2 * rowsPerBar, 4 * rowsPerBar, 16, 22);
    p.bassline(themeHarmony, themeBass, 0, volume(40));
    themeBeat(p, in);
    openHats(p, in, "............9...");
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 E5:2 | A5:6 G5:2 F5:4 E5:2 C5:2 |"
             "E5:4 D5:2 C5:4 D5:2 E5:2 G5:2 | D5:4 /G5:8 r:4");
    notesAt(p, leadChannel, 30);
    p.arpeggio(pluckChannel, in.pluck, themeHarmony, "0.1.2.3.4.3.2.1.", 3, volume(48));
    return p.number();
}

// Two bars on F and E that build to the drive: the pads swell, the bass pulses in eighths, a
// snare roll climbs and grows, and bass and drums breathe in for the last sixteenth.
int build(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(226);
    std::vector<Chord> harmony = chords({"F", "E"});
    p.pads(harmony);
    p.padSwell(0, 2 * rowsPerBar - 2, 12, 40);
    p.bassline({harmony[0]}, "R...R...R...O...", 0, volume(36));
    p.bassline({harmony[1]}, "R...R...R...R.^.", rowsPerBar, volume(56));
    p.hits(kickChannel, in.kick, c4, "5.......7.......");
    p.hits(kickChannel, in.kick, c4, "9...b...d...x...", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "..5...7...9...b.");
    for (int hit = 0; hit < 8; ++hit) {
        p.play(hit * 2 * rowsPerStep, snareChannel, std::uint8_t(c4 + hit / 2), in.snare,
               volume(6 + 2 * hit));
    }
    for (int hit = 0; hit < stepsPerBar - 1; ++hit) {
        p.play(rowsPerBar + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + 4 + hit / 2),
               in.snare, volume(20 + 3 * hit));
    }
    p.melody(leadChannel, in.lead, "A4:8 C5:8 | B4:14 r:2");
    notesAt(p, leadChannel, 28);
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0.1.2.3.4.5.6.7.", 3, volume(40));
    p.arpeggio(pluckChannel, in.pluck, {harmony[1]}, "0123456701234567", 3, volume(52),
               rowsPerBar);
    return p.number();
}

const std::vector<Chord> driveHarmony = chords({"Am", "G", "F", "E"});

// The drive's tune: the motif over A minor, the same figure a step down over G, the motif's
// shape again over F, and the leading tone over E.
constexpr std::string_view driveMotif =
    "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | D5:6 B4:2 G4:4 B4:4 |"
    "A4:4 C5:2 F5:4 E5:2 D5:2 C5:2 | B4:6 E5:2 G#4:8";

// Its answer, falling where the motif climbs.
constexpr std::string_view driveAnswer =
    "E5:6 D5:2 C5:4 A4:4 | B4:6 C5:2 D5:4 G4:4 | A4:6 C5:2 F5:4 E5:4 | E5:4 D5:4 B4:8";

// The first half of the drive, in half time: the kick on one and three with a push, the snare
// on two and four, sixteenth hi-hats with open ones between the beats, and a bass that leaves
// gaps. A crash on the downbeat. The lead calls with the motif; the second time the pluck
// answers, and the lead rests.
int driveHalfTime(ModuleDraft& draft, const Instruments& in, bool answer, std::string_view fill) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.padVolume(0, answer ? 36 : 30);
    p.bassline(driveHarmony, "R.....R...^.O...", 0, volume(60));
    for (int row = 0; row < p.rows(); row += 2 * rowsPerBar) {
        p.hits(kickChannel, in.kick, c4, "x...........x...", row);
        p.hits(kickChannel, in.kick, c4, answer ? "x.....8...8....." : "x.....8.........",
               row + rowsPerBar);
    }
    groove(p, in, "", "........x.......", "c.6.....c.6.9.6.");
    openHats(p, in, "....a...........");
    p.hits(snareChannel, in.snare, c4, fill, 3 * rowsPerBar);
    p.play(0, hatChannel, c4, in.cymbal);
    if (answer) {
        p.keyOff(0, leadChannel);
        p.melody(pluckChannel, in.pluck, driveAnswer);
        notesAt(p, pluckChannel, 60);
    } else {
        p.melody(leadChannel, in.lead, driveMotif);
        notesAt(p, leadChannel, 43);
    }
    return p.number();
}

// Two bars around 25 s with the pads and the lead alone: the motif slowly, over A minor and G.
int breakdown(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    for (Channel channel : {bassChannel, pluckChannel}) p.keyOff(0, channel);
    p.pads(chords({"Am", "G"}));
    p.padSwell(0, 2 * rowsPerBar, 14, 28);
    p.melody(leadChannel, in.lead, "A4:6 C5:2 E5:8 | D5:6 C5:2 B4:8");
    notesAt(p, leadChannel, 35);
    return p.number();
}

// Two bars that build back into the drive on F and E: the kick on the beat and then twice as
// often, a snare roll growing, the bass in eighths, the pads swelling, the lead holding C
// and then B.
int rise(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    std::vector<Chord> harmony = chords({"F", "E"});
    p.pads(harmony);
    p.padSwell(0, 2 * rowsPerBar - 2, 20, 40);
    p.bassline({harmony[0]}, "R...R...R...R...", 0, volume(40));
    p.bassline({harmony[1]}, "R...R...R...R.^.", rowsPerBar, volume(52));
    p.hits(kickChannel, in.kick, c4, "9.......a.......");
    p.hits(kickChannel, in.kick, c4, "b...c...d...e...", rowsPerBar);
    for (int hit = 0; hit < 8; ++hit) {
        p.play(hit * 2 * rowsPerStep, snareChannel, c4, in.snare, volume(8 + 2 * hit));
    }
    for (int hit = 0; hit < stepsPerBar - 1; ++hit) {
        p.play(rowsPerBar + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + hit / 2), in.snare,
               volume(24 + 2 * hit));
    }
    p.hits(hatChannel, in.hat, c4, "....7.......7...");
    p.hits(hatChannel, in.hat, c4, "..a...a...a...a.", rowsPerBar);
    p.melody(leadChannel, in.lead, "C5:16 | B4:14 r:2");
    notesAt(p, leadChannel, 38);
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0.1.2.3.4.5.6.7.", 3, volume(36));
    p.arpeggio(pluckChannel, in.pluck, {harmony[1]}, "0123456701234567", 3, volume(52),
               rowsPerBar);
    return p.number();
}

// The drive at full strength: the kick on every beat, the bass driving in eighths, the motif on
// the lead over the arpeggio. A crash on the downbeat.
int driveFull(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.padVolume(0, 34);
    p.bassline(driveHarmony, "R...R...R...R.O.");
    groove(p, in, "x.......x.......", "........x.......", "c.6.....c.6.....");
    openHats(p, in, "....c.......c...");
    p.hits(snareChannel, in.snare, c4, "........x...x9xx", 3 * rowsPerBar);
    p.play(0, hatChannel, c4, in.cymbal);
    p.melody(leadChannel, in.lead, driveMotif);
    notesAt(p, leadChannel, 48);
    p.arpeggio(pluckChannel, in.pluck, driveHarmony, "0..1..2.3..2..1.", 3, volume(50));
    return p.number();
}

// Two bars on D minor and E: the melody holds, toms tumble down, and the drive stops a beat
// before the credits.
int driveEnd(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    std::vector<Chord> harmony = chords({"Dm", "E"});
    p.pads(harmony);
    p.padVolume(0, 26);
    p.padSwell(rowsPerBar, 2 * rowsPerBar, 26, 18);
    p.bassline({harmony[0]}, "^...R...^...R.O.");
    p.bassline({harmony[1]}, "R.......R.....^.", rowsPerBar);
    p.hits(kickChannel, in.kick, c4, "x.......x.......");
    p.hits(kickChannel, in.kick, c4, "x...............", rowsPerBar);
    const char* toms[] = {"A4", "A4", "F4", "F4", "D4", "D4", "C4", "C4"};
    for (int hit = 0; hit < 8; ++hit) {
        p.play(rowsPerBar + (6 + hit) * rowsPerStep, kickChannel, noteNumber(toms[hit]), in.kick,
               volume(hit % 2 ? 40 : 56));
    }
    p.hits(snareChannel, in.snare, c4, "........x.......");
    p.hits(hatChannel, in.hat, c4, "c.6.....c.6.....");
    p.hits(hatChannel, in.cymbal, openHat, "....c.......c...");
    p.hits(hatChannel, in.hat, c4, "c.6.c.6.........", rowsPerBar);
    p.melody(leadChannel, in.lead, "F5:12 E5:2 D5:2 | E5:12 r:4");
    notesAt(p, leadChannel, 40);
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0..1..2.3..2..1.", 3, volume(48));
    return p.number();
}

// The close under the credits, slower: the theme's first phrase once more, softly, over a held
// bass and a kick on the downbeat, hi-hats and a soft cymbal ringing the first bar.
int close(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(192);
    p.pads(themeHarmony);
    p.padVolume(0, 16);
    p.bassline(themeHarmony, "R...........R...", 0, volume(44));
    groove(p, in, "b...............", "........7.......", "b...5...b...5...");
    p.play(0, hatChannel, c4, in.cymbal, volume(24));
    p.melody(leadChannel, in.lead, themePhrase);
    notesAt(p, leadChannel, 28);
    return p.number();
}

// The ending: the motif's last notes, D C B, fall over F and E to A over a final A minor
// chord at 40.9 s with the bass, a kick and the cymbal. The lead lets go at 41.2 s and has
// faded by 41.4 s; the pluck recalls the motif's first notes; a global volume slide from 41.1 s
// reaches silence at 42.2 s. Every voice is released in time to have faded before the song
// loops (42.47 s), where the intro puts the global volume back.
int ending(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(192);
    p.pads(chords({"F"}));
    p.pads(chords({"E"}), 16);
    p.pads(chords({"Am"}), 24);
    p.padVolume(0, 16);
    p.play(0, bassChannel, noteNumber("F2"), in.bass, volume(48));
    p.play(16, bassChannel, noteNumber("E2"), in.bass, volume(48));
    p.play(24, bassChannel, noteNumber("A2"), in.bass, volume(56));
    p.play(0, kickChannel, c4, in.kick, volume(40));
    p.play(24, kickChannel, c4, in.kick, volume(52));
    p.hits(hatChannel, in.hat, c4, "9...4...9...");
    p.play(24, hatChannel, c4, in.cymbal, volume(28));
    p.play(20, snareChannel, c4, in.snare, volume(12));
    p.play(22, snareChannel, c4, in.snare, volume(20));
    p.melody(leadChannel, in.lead, "D5:4 C5:4 B4:4 A4:4 r:2");
    notesAt(p, leadChannel, 30);
    p.melody(pluckChannel, in.pluck, "A4:2 C5:2 E5:8 r:2", 34);
    notesAt(p, pluckChannel, 28, 34);
    // Released so that each has faded (the pads in half a second, the bass and the pluck
    // faster) before the song loops.
    for (Channel channel : {padChannel, padDoubleChannel}) p.keyOff(46, channel);
    p.keyOff(54, bassChannel);
    // One step down on each later tick, two a row: from row 30 (41.14 s) the master volume is
    // gone after masterVolume / 2 rows, at row 58 (42.23 s).
    for (int row = 30; row < 30 + masterVolume / 2; ++row) {
        p.effect(row, snareChannel, effect::globalVolumeSlide, 0x01);
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
        driveHalfTime(draft, in, false, "........x...x.x."),
        driveHalfTime(draft, in, true, "........x...xx8x"),
        breakdown(draft, in),
        rise(draft, in),
        driveFull(draft, in),
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
