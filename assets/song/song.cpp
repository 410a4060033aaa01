#include "assets/song/song.h"

#include <array>

#include "assets/song/instruments.h"
#include "assets/song/score.h"
#include "player/module_draft.h"
#include "player/xm_writer.h"

namespace quarbtro::song {

// A minor, at speed 3: eight rows to a beat. The sections and their tempi are chosen so that
// each section starts within two rows of the scene it plays under:
//
//   order  section      rows  BPM  starts at
//   0      intro          64  224   0.000 s   black screen
//   1-4    first theme   448  226   2.142 s   scroller from 2.2 s
//   5-9    drive         576  240  16.984 s   tunnel from 17.0 s
//   10     close         128  192  34.969 s   credits from 35.0 s
//   11     last phrase    64  192  39.968 s   blue screen from 40.0 s; ends 42.467 s
//
// (A row lasts three ticks of floor(44100 × 2.5 / BPM) frames.) Every pattern states its tempo
// in its first row, so any order position plays at its section's speed. The song then loops to
// order 0.

namespace {

const std::uint8_t c4 = noteNumber("C4");
const std::uint8_t openHat = noteNumber("E4");  // the cymbal a little brighter, choked

// Off-beat open hi-hats in every bar, each choked by the next closed one.
void openHats(PatternScore& p, const Instruments& in, std::string_view steps) {
    for (int row = 0; row < p.rows(); row += rowsPerBar) {
        p.hits(hatChannel, in.cymbal, openHat, steps, row);
    }
}

// The same drum bar in every bar of the pattern.
void groove(PatternScore& p, const Instruments& in, std::string_view kick, std::string_view snare,
            std::string_view hats) {
    for (int row = 0; row < p.rows(); row += rowsPerBar) {
        p.hits(kickChannel, in.kick, c4, kick, row);
        p.hits(snareChannel, in.snare, c4, snare, row);
        p.hits(hatChannel, in.hat, c4, hats, row);
    }
}

// Two bars over A minor and E: the pad swells in under a rising arpeggio, the bass enters on E
// and a snare roll climbs into the first theme.
int intro(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(224);
    // When the song loops, the last phrase's bass and melody end here.
    p.keyOff(0, bassChannel);
    p.keyOff(0, leadChannel);
    std::vector<Chord> harmony = chords({"Am", "E"});
    p.pads(harmony);
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0.1.2.3.4.5.6.7.", 3, quiet(12));
    p.arpeggio(pluckChannel, in.pluck, {harmony[1]}, "2.3.4.5.6.7.8.9.", 3, 0, rowsPerBar);
    p.bassline({harmony[1]}, "R...............", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "..6...8...a...c.", rowsPerBar);
    const int rollLevels[] = {4, 6, 8, 10, 12, 13, 14, 15};
    for (int hit = 0; hit < 8; ++hit) {
        p.play(rowsPerBar + 16 + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + hit), in.snare,
               quiet(rollLevels[hit]));
    }
    return p.number();
}

const std::vector<Chord> themeHarmony = chords({"Am", "F", "C", "G"});

// The first theme, three times over A minor, F, C, G: a half-time beat under the melody and its
// echo first, then a backbeat with arpeggios, then the melody rising to lead out.
int themeStatement(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.bassline(themeHarmony, "R..R..R.R..R..O.");
    groove(p, in, "x.......x.......", "........x.......", "..x...x...x...x.");
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | C5:6 A4:2 F4:4 A4:4 |"
             "G4:4 C5:2 E5:4 G5:2 F5:2 E5:2 | D5:8 r:2 B4:2 D5:2 E5:2");
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, quiet(12));
    return p.number();
}

int themeAnswer(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.bassline(themeHarmony, "R..R..R.R..R..O.");
    groove(p, in, "x.......x.x.....", "....x.......x...", "c.x.c.x.c.x.c.x.");
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 E5:2 | A5:6 G5:2 F5:4 E5:2 C5:2 |"
             "E5:4 D5:2 C5:4 D5:2 E5:2 G5:2 | D5:4 /G5:8 r:4");
    p.arpeggio(pluckChannel, in.pluck, themeHarmony, "0123012301230123", 4, quiet(11));
    return p.number();
}

int themeReturn(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(226);
    p.pads(themeHarmony);
    p.bassline(themeHarmony, "R..R..R.R..R..O.");
    groove(p, in, "x.....x.x.x.....", "....x.......x...", "b.xcb.x.b.xcb.xc");
    p.hits(snareChannel, in.snare, c4, "....x.......x6x8", 3 * rowsPerBar);
    p.melody(leadChannel, in.lead,
             "A4:4 C5:2 E5:4 D5:2 C5:2 B4:2 | C5:6 A4:2 F4:4 A4:4 |"
             "G4:4 C5:2 E5:4 G5:2 A5:2 G5:2 | G5:4 F5:2 E5:2 D5:4 B4:4");
    p.arpeggio(pluckChannel, in.pluck, themeHarmony, "0213243502132435", 4, quiet(11));
    return p.number();
}

// Two bars on F and E that build to the drive: a snare roll climbing an octave and getting
// louder, the bass in sixteenths, and a breath before the downbeat.
int build(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(226);
    std::vector<Chord> harmony = chords({"F", "E"});
    p.pads(harmony);
    p.bassline({harmony[0]}, "RRORRRORRRORRROR");
    p.bassline({harmony[1]}, "RRORRRORRRORR^..", rowsPerBar);
    p.hits(kickChannel, in.kick, c4, "x...x...x...x...");
    p.hits(kickChannel, in.kick, c4, "x...x...x.......", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "..a...a...a...a.");
    for (int hit = 0; hit < 8; ++hit) {
        p.play(hit * 2 * rowsPerStep, snareChannel, std::uint8_t(c4 + hit / 2), in.snare,
               quiet(8 + hit));
    }
    for (int hit = 0; hit < stepsPerBar; ++hit) {
        p.play(rowsPerBar + hit * rowsPerStep, snareChannel, std::uint8_t(c4 + 4 + hit / 2),
               in.snare, hit < 8 ? quiet(15) : 0);
    }
    p.melody(leadChannel, in.lead, "A4:8 C5:8 | B4:12 r:4");
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0123456701234567", 3, quiet(12));
    p.arpeggio(pluckChannel, in.pluck, {harmony[1]}, "0123456701234567", 3, quiet(15), rowsPerBar);
    return p.number();
}

const std::vector<Chord> driveHarmony = chords({"Am", "G", "F", "E"});

// The drive under the tunnel: four on the floor, sixteenth hats with open ones off the beat,
// an off-beat bass, four times over A minor, G, F, E. Each statement gets its own melody and
// its own fill in the last bar; the first has none yet, and a crash on its downbeat instead.
int drive(ModuleDraft& draft, const Instruments& in, std::string_view melody,
          std::string_view arpeggio, std::uint8_t arpeggioVolume, std::string_view fill) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(240);
    p.pads(driveHarmony);
    p.bassline(driveHarmony, "^ROR^ROR^ROR^ROR");
    groove(p, in, "x...x...x...x...", "....x.......x...", "cd..cd..cd..cd..");
    openHats(p, in, "..x...x...x...x.");
    p.hits(snareChannel, in.snare, c4, fill, 3 * rowsPerBar);
    if (melody.empty()) {
        p.play(0, leadChannel, c4, in.cymbal);
    } else {
        p.melody(leadChannel, in.lead, melody);
    }
    p.arpeggio(pluckChannel, in.pluck, driveHarmony, arpeggio, 4, arpeggioVolume);
    return p.number();
}

// Two bars on D minor and E: the melody holds, toms tumble down, and the drive stops a beat
// before the credits.
int driveEnd(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(240);
    std::vector<Chord> harmony = chords({"Dm", "E"});
    p.pads(harmony);
    p.bassline({harmony[0]}, "^ROR^ROR^ROR^ROR");
    p.bassline({harmony[1]}, "R.R.R.R.RRRRRRR^", rowsPerBar);
    p.hits(kickChannel, in.kick, c4, "x...x...x...x...");
    p.hits(kickChannel, in.kick, c4, "x...x...........", rowsPerBar);
    const char* toms[] = {"A4", "A4", "F4", "F4", "D4", "D4", "C4", "C4"};
    for (int hit = 0; hit < 8; ++hit) {
        p.play(rowsPerBar + (8 + hit) * rowsPerStep, kickChannel, noteNumber(toms[hit]), in.kick,
               hit % 2 ? quiet(12) : 0);
    }
    p.hits(snareChannel, in.snare, c4, "....x.......x...");
    p.hits(snareChannel, in.snare, c4, "....x..........x", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "cd..cd..cd..cd..");
    p.hits(hatChannel, in.cymbal, openHat, "..x...x...x...x.");
    p.hits(hatChannel, in.hat, c4, "cdxdcdxd........", rowsPerBar);
    p.melody(leadChannel, in.lead, "A5:16 | G#5:12 r:4");
    p.arpeggio(pluckChannel, in.pluck, {harmony[0]}, "0123432101234321", 4, quiet(12));
    return p.number();
}

// The close under the credits, slower: F, G, E minor, A minor, the melody on the pluck with a
// quiet echo over a soft bass and kick, a snare on the third beat, and a soft cymbal ringing
// the first bar.
int close(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 4 * rowsPerBar);
    p.tempo(192);
    std::vector<Chord> harmony = chords({"F", "G", "Em", "Am"});
    p.pads(harmony);
    p.bassline(harmony, "R.......F...O...", 0, quiet(15));
    groove(p, in, "f.......f.......", "........8.......", "................");
    p.play(0, hatChannel, c4, in.cymbal, quiet(12));
    for (int bar = 1; bar < 4; ++bar) {
        p.hits(hatChannel, in.hat, c4, "..a...a...a...a.", bar * rowsPerBar);
    }
    p.melody(leadChannel, in.pluck,
             "A4:8 C5:4 F5:4 | E5:8 D5:4 B4:4 | G4:8 B4:4 E5:4 | C5:8 B4:4 A4:4");
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, quiet(9));
    return p.number();
}

// The last phrase, D minor to A minor: the lead comes back once and comes to rest on A over a
// soft cymbal.
int lastPhrase(ModuleDraft& draft, const Instruments& in) {
    PatternScore p(draft, in, 2 * rowsPerBar);
    p.tempo(192);
    std::vector<Chord> harmony = chords({"Dm", "Am"});
    p.pads(harmony);
    p.bassline({harmony[0]}, "R.......F...R...");
    p.bassline({harmony[1]}, "R...............", rowsPerBar);
    p.hits(kickChannel, in.kick, c4, "f...............");
    p.hits(kickChannel, in.kick, c4, "f...............", rowsPerBar);
    p.hits(hatChannel, in.hat, c4, "..9...9...9...9.");
    p.play(rowsPerBar, hatChannel, c4, in.cymbal, quiet(10));
    p.melody(leadChannel, in.lead, "F5:4 E5:4 D5:4 A4:4 | C5:4 B4:4 A4:8");
    p.echo(leadChannel, pluckChannel, 3 * rowsPerStep, quiet(8));
    return p.number();
}

}  // namespace

void composeSong(ModuleDraft& draft) {
    Instruments in = addInstruments(draft);
    std::vector<int> order = {
        intro(draft, in),
        themeStatement(draft, in),
        themeAnswer(draft, in),
        themeReturn(draft, in),
        build(draft, in),
        drive(draft, in, "", "0123432101234321", 0, "....x.......x.xx"),
        drive(draft, in,
              "E5:4 A5:4 B5:2 C6:6 | B5:4 G5:4 D5:4 G5:4 | A5:6 G5:2 F5:4 E5:4 |"
              "E5:4 G#5:4 B5:8",
              "0123012301230123", quiet(13), "....x.......x.xx"),
        drive(draft, in,
              "C6:4 B5:2 A5:2 E5:4 A5:4 | D6:4 C6:2 B5:2 G5:4 B5:4 | C6:6 A5:2 F5:4 A5:4 |"
              "B5:8 G#5:4 E5:4",
              "0213021302130213", quiet(13), "....x.......x.x8"),
        drive(draft, in,
              "A5:3 E5:3 C6:2 B5:3 A5:3 E5:2 | B5:3 G5:3 D6:2 C6:3 B5:3 G5:2 |"
              "A5:3 F5:3 C6:2 A5:3 G5:3 F5:2 | E5:4 G#5:4 B5:4 D6:4",
              "0123432101234321", quiet(12), "....x...x.x.xxxx"),
        driveEnd(draft, in),
        close(draft, in),
        lastPhrase(draft, in),
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
