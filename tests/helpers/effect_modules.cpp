// Writes the small purpose-made modules of the effect traces, one XM file per effect family:
//   effect-modules DIRECTORY
// Each song is a few rows on one or two channels; tests/traces/NAME.trace holds what
// `xmrender --trace` printed for NAME.xm when it was last checked by hand.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "player/module_draft.h"
#include "player/xm_writer.h"

using namespace quarbtro;

namespace {

constexpr std::uint8_t C4 = 49, D4 = 51, C5 = 61, off = noteKeyOff;

// One instrument playing a 2,000-frame sample, looped forward unless `looped` is false.
int addPlainInstrument(ModuleDraft& draft, bool looped = true) {
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 2000; ++i) frames.push_back(std::int16_t((i % 100) * 300 - 15000));
    const int instrument = draft.addInstrument();
    Sample& sample = draft.addSample(instrument, frames);
    if (looped) {
        sample.loopType = loopForward;
        sample.loopStart = 0;
        sample.loopLength = 2000;
    }
    return instrument;
}

ModuleDraft song(int channels, int rows, int speed) {
    ModuleDraft draft{static_cast<std::int16_t>(channels)};
    draft.addPattern(rows);
    draft.song.defaultSpeed = std::int16_t(speed);
    addPlainInstrument(draft);
    return draft;
}

// 1xx, 2xx, E1x, E2x, X1x, X2x with their memories, 3xx, and the 56 limit of 1xx.
ModuleDraft portamento() {
    ModuleDraft draft = song(1, 12, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::portamentoUp, 0x02};      // 4608 - 8 per later tick
    draft.cell(0, 1, 0) = {0, 0, 0, effect::portamentoUp, 0x00};       // memory: 2
    draft.cell(0, 2, 0) = {0, 0, 0, effect::portamentoDown, 0x03};     // + 12 per later tick
    draft.cell(0, 3, 0) = {0, 0, 0, effect::extended, 0x12};      // fine up: - 8 once
    draft.cell(0, 4, 0) = {0, 0, 0, effect::extended, 0x20};      // fine down, no memory yet: + 0
    draft.cell(0, 5, 0) = {0, 0, 0, effect::extraFinePortamento, 0x13};     // - 3 once
    draft.cell(0, 6, 0) = {0, 0, 0, effect::extraFinePortamento, 0x10};     // memory: - 3
    draft.cell(0, 7, 0) = {0, 0, 0, effect::extraFinePortamento, 0x25};     // + 5 once
    draft.cell(0, 8, 0) = {C5, 0, 0, effect::tonePortamento, 0x20};    // toward 3840 by 128 a tick
    draft.cell(0, 9, 0) = {0, 0, 0, effect::tonePortamento, 0x00};     // memory
    draft.cell(0, 10, 0) = {0, 0, 0, effect::portamentoUp, 0xFF};      // 1020 a tick, down to 56
    draft.cell(0, 11, 0) = {0, 0, 0, effect::portamentoUp, 0x00};
    return draft;
}

// The Amiga table: tone portamento 1712 -> 1525 and arpeggio, whose offsets are differences of
// Amiga periods; vibrato lowers the pitch where it raises it on the linear table.
ModuleDraft amiga() {
    ModuleDraft draft = song(1, 4, 4);
    draft.song.flags = 0;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 1, 0) = {D4, 0, 0, effect::tonePortamento, 0x10};    // 64 a tick toward 1525
    draft.cell(0, 2, 0) = {C4, 1, 0, effect::arpeggio, 0x47};     // +4 and +7 semitones
    draft.cell(0, 3, 0) = {0, 0, 0, effect::vibrato, 0x88};
    return draft;
}

// Vibrato (sine, ramp, square), the volume column's vibrato, tremolo and its waveforms, and a
// tremolo row followed by another effect.
ModuleDraft vibratoTremolo() {
    ModuleDraft draft = song(1, 10, 4);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::vibrato, 0x88};      // speed 8, depth 8
    draft.cell(0, 1, 0) = {0, 0, 0, effect::vibrato, 0x00};       // memory; offset on the row tick
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extended, 0x41};      // ramp waveform
    draft.cell(0, 3, 0) = {0, 0, 0, effect::vibratoVolumeSlide, 0x01};  // vibrato + slide down 1
    draft.cell(0, 4, 0) = {0, 0, 0xB4, effect::extended, 0x42};   // square; volume column depth 4
    draft.cell(0, 5, 0) = {C4, 1, 0xA8, 0, 0};            // volume column speed 8 only
    draft.cell(0, 6, 0) = {0, 0, 0, effect::tremolo, 0x8F};       // sine tremolo, depth 15
    draft.cell(0, 7, 0) = {0, 0, 0, effect::extended, 0x71};      // ramp tremolo waveform
    draft.cell(0, 8, 0) = {0, 0, 0, effect::tremolo, 0x00};
    draft.cell(0, 9, 0) = {0, 0, 0, effect::volumeSlide, 0x01};   // the tremolo's offset stays
    return draft;
}

// Cxx above 64, volume slides with the shared memory, fine slides, the volume column, tremor.
ModuleDraft volume() {
    ModuleDraft draft = song(1, 12, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::setVolume, 80};      // stored as 80
    draft.cell(0, 1, 0) = {0, 0, 0, effect::volumeSlide, 0x02};   // down from 80
    draft.cell(0, 2, 0) = {0, 0, 0, effect::volumeSlide, 0x10};   // up: held at 64
    draft.cell(0, 3, 0) = {0, 0, 0, effect::volumeSlide, 0x00};   // memory: up
    draft.cell(0, 4, 0) = {0, 0, 0, effect::extended, 0xB5};      // fine down 5
    draft.cell(0, 5, 0) = {0, 0, 0, effect::extended, 0xA0};      // fine up, memory 5
    draft.cell(0, 6, 0) = {0, 0, 0x62, 0, 0};             // column slide down 2, every tick
    draft.cell(0, 7, 0) = {0, 0, 0x73, 0, 0};             // column slide up 3, every tick
    draft.cell(0, 8, 0) = {0, 0, 0x84, 0, 0};             // column fine down 4, row tick
    draft.cell(0, 9, 0) = {C4, 1, 0x30, effect::tremor, 0x11};    // fresh note: on 2, off 2
    draft.cell(0, 10, 0) = {0, 0, 0, effect::tremor, 0x00};       // the counter runs on
    draft.cell(0, 11, 0) = {0, 0, 0x55, 0, 0};            // nothing
    return draft;
}

// Gxx (above 64 is 64) and Hxy on two channels: each carrier slides once per tick.
ModuleDraft globalVolumes() {
    ModuleDraft draft = song(2, 4, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::globalVolume, 0x80};
    draft.cell(0, 0, 1) = {C5, 1, 0, 0, 0};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::globalVolume, 0x30};  // only this channel is updated now
    draft.cell(0, 2, 0) = {0, 0, 0, effect::globalVolumeSlide, 0x03};
    draft.cell(0, 2, 1) = {0, 0, 0, effect::globalVolumeSlide, 0x00};   // the shared memory: down 3 again
    draft.cell(0, 3, 1) = {0, 0, 0, effect::globalVolumeSlide, 0x20};   // up 2, on one channel
    return draft;
}

// 8xx, E8x, Pxy with its memory, and the volume column's panning, whose slides leave 0..255.
ModuleDraft panning() {
    ModuleDraft draft = song(1, 8, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::setPanning, 0x10};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0x8F};      // 240
    draft.cell(0, 2, 0) = {0, 0, 0, effect::panningSlide, 0x40};  // right 4 a tick, to 255 at most
    draft.cell(0, 3, 0) = {0, 0, 0, effect::panningSlide, 0x00};  // memory
    draft.cell(0, 4, 0) = {0, 0, 0xC0, effect::panningSlide, 0x0F};  // 0, then left: held at 0
    draft.cell(0, 5, 0) = {0, 0, 0xD3, 0, 0};             // below 0, sent clamped
    draft.cell(0, 6, 0) = {0, 0, 0xCF, 0, 0};             // 240
    draft.cell(0, 7, 0) = {0, 0, 0xE9, 0, 0};             // above 255
    return draft;
}

// A volume envelope without sustain, one with sustain, fade-out and key-off, Lxx, a panning
// envelope, and the auto-vibrato.
ModuleDraft envelopes() {
    ModuleDraft draft = song(2, 8, 4);
    Instrument& falling = draft.instrument(0);
    falling.volumeEnvelope[0] = {0, 64};
    falling.volumeEnvelope[1] = {10, 0};
    falling.volumePointCount = 2;
    falling.volumeEnvelopeFlags = envelopeOn;
    falling.panningEnvelope[0] = {0, 32};
    falling.panningEnvelope[1] = {8, 64};
    falling.panningPointCount = 2;
    falling.panningEnvelopeFlags = envelopeOn;
    const int held = addPlainInstrument(draft);
    Instrument& sustained = draft.instrument(held);
    sustained.volumeEnvelope[0] = {0, 32};
    sustained.volumeEnvelope[1] = {4, 64};
    sustained.volumeEnvelope[2] = {12, 16};
    sustained.volumePointCount = 3;
    sustained.volumeSustainPoint = 1;
    sustained.volumeEnvelopeFlags = envelopeOn | envelopeSustain;
    sustained.volumeFadeout = 8192;
    sustained.autoVibratoType = 0;
    sustained.autoVibratoDepth = 16;
    sustained.autoVibratoRate = 64;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 0, 1) = {C4, 2, 0, 0, 0};
    draft.cell(0, 2, 1) = {off, 0, 0, 0, 0};               // sustain released, fade 1/8 a tick
    draft.cell(0, 4, 0) = {0, 0, 0, effect::envelopePosition, 5};  // back to the middle of the fall
    draft.cell(0, 5, 1) = {C4, 2, 0, effect::keyOff, 0};           // Kxx on the note's own row
    draft.cell(0, 6, 0) = {0, 0, 0, effect::envelopePosition, 40}; // past the last point
    draft.cell(0, 7, 0) = {0, 1, 0, 0, 0};                 // instrument alone: everything restarts
    return draft;
}

// A forward and a backward journey through the order list: Dxy read as decimals, B then D,
// D then B, a break past the last order, a pattern loop played three times, a break into a row
// beyond the pattern, and the restart position.
ModuleDraft jumps() {
    ModuleDraft draft(2);
    draft.song.defaultSpeed = 1;
    addPlainInstrument(draft);
    draft.addPattern(32);
    draft.addPattern(32);
    draft.addPattern(16);
    draft.addPattern(16);
    draft.song.songLength = 4;
    for (int order = 0; order < 4; ++order) draft.song.orderTable[order] = std::uint8_t(order);
    draft.song.restartPosition = 1;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 2, 0) = {0, 0, 0, effect::patternBreak, 0x1F};   // row 25 of order 1
    draft.cell(1, 25, 0) = {0, 0, 0, effect::positionJump, 3};     // B then D: order 3, row 4
    draft.cell(1, 25, 1) = {0, 0, 0, effect::patternBreak, 0x04};
    draft.cell(3, 4, 1) = {0, 0, 0, effect::extended, 0x60};       // rows 4 to 8 three times
    draft.cell(3, 8, 1) = {0, 0, 0, effect::extended, 0x62};
    draft.cell(3, 9, 0) = {0, 0, 0, effect::patternBreak, 0x10};   // past the last order: order 0, row 10
    draft.cell(0, 12, 0) = {0, 0, 0, effect::patternBreak, 0x15};  // D then B: order 2, row 0
    draft.cell(0, 12, 1) = {0, 0, 0, effect::positionJump, 2};
    draft.cell(2, 1, 0) = {0, 0, 0, effect::patternBreak, 0x20};   // row 20 of a 16-row pattern
    return draft;
}

// A pattern loop whose rows carry effects of their own: the ticks after the row tick of the
// looping row play that row's cells, not those of the row the loop goes back to. Channel 1 has
// vibrato on the loop's first row, a portamento between and a volume slide on its last row
// (32 -> 28 -> 24 -> 20 on every pass); a break in the same row as E61 wins over the loop's
// jump but spends its count, so the next E61 plays on.
ModuleDraft patternLoop() {
    ModuleDraft draft = song(2, 16, 4);
    draft.addPattern(8);
    draft.song.songLength = 2;
    draft.song.orderTable[1] = 1;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 0, 1) = {C4, 1, 0x30, 0, 0};             // volume 32
    draft.cell(0, 3, 0) = {0, 0, 0, effect::extended, 0x60};       // the loop starts here
    draft.cell(0, 3, 1) = {0, 0, 0, effect::vibrato, 0x47};
    draft.cell(0, 5, 1) = {0, 0, 0, effect::portamentoUp, 0x04};
    draft.cell(0, 8, 0) = {0, 0, 0, effect::extended, 0x62};       // rows 3 to 8 three times
    draft.cell(0, 8, 1) = {0, 0, 0, effect::volumeSlide, 0x04};
    draft.cell(0, 10, 0) = {0, 0, 0, effect::extended, 0x60};
    draft.cell(0, 12, 0) = {0, 0, 0, effect::extended, 0x61};      // the count is spent ...
    draft.cell(0, 12, 1) = {0, 0, 0, effect::patternBreak, 0x02};  // ... but the break wins: order 1, row 2
    draft.cell(1, 4, 0) = {0, 0, 0, effect::extended, 0x61};       // the count runs out: no jump
    draft.cell(1, 4, 1) = {0, 0, 0, effect::volumeSlide, 0x20};
    return draft;
}

// Note delay and note cut: ED2, ED0, a delay past the row, EDy without a note, EC1, EC0 and
// EC3 at speed 3.
ModuleDraft delayCut() {
    ModuleDraft draft = song(1, 8, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0x20, effect::extended, 0xD2};  // starts at tick 2 with volume 16
    draft.cell(0, 1, 0) = {C5, 1, 0, effect::extended, 0xD0};     // never starts
    draft.cell(0, 2, 0) = {C4, 1, 0, effect::extended, 0xD5};     // never starts
    draft.cell(0, 3, 0) = {off, 0, 0, 0, 0};
    draft.cell(0, 4, 0) = {0, 0, 0, effect::extended, 0xD1};      // the current note again, key-off cleared
    draft.cell(0, 5, 0) = {0, 0, 0, effect::extended, 0xC1};      // cut at tick 1
    draft.cell(0, 6, 0) = {C4, 1, 0, effect::extended, 0xC0};     // never cuts
    draft.cell(0, 7, 0) = {0, 0, 0, effect::extended, 0xC3};      // tick 3 does not come
    return draft;
}

// Retriggers: E92 and R with y = 3 at speed 6, R's volume changes, 9xx inside and past the
// sample, E5y.
ModuleDraft retrigger() {
    ModuleDraft draft = song(1, 8, 6);
    addPlainInstrument(draft, false);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::extended, 0x92};     // ticks 2 and 4
    draft.cell(0, 1, 0) = {0, 0, 0, effect::multiRetrigger, 0x03};  // tick 3 only, volume unchanged
    draft.cell(0, 2, 0) = {0, 0, 0, effect::multiRetrigger, 0x72};  // halved at ticks 2 and 4
    draft.cell(0, 3, 0) = {0, 0, 0, effect::multiRetrigger, 0x00};  // memory
    draft.cell(0, 4, 0) = {C4, 2, 0, effect::sampleOffset, 0x04};   // starts at frame 1,024
    draft.cell(0, 5, 0) = {C4, 2, 0, effect::sampleOffset, 0x08};   // past the end: rewinds instead
    draft.cell(0, 6, 0) = {C4, 2, 0, effect::extended, 0x5F};       // finetune 15 for later notes
    draft.cell(0, 7, 0) = {C4, 2, 0, 0, 0};                 // period 4608 - 15 / 2
    return draft;
}

// Speed and tempo: F02, F20 (32 BPM), F00 (every tick a row tick), EE2 pattern delay.
ModuleDraft tempo() {
    ModuleDraft draft = song(1, 6, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::speedOrTempo, 0x02};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::speedOrTempo, 0x20};
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extended, 0xE2};       // the row plays 3 x 2 ticks
    draft.cell(0, 3, 0) = {0, 0, 0, effect::speedOrTempo, 0x00};
    draft.cell(0, 5, 0) = {0, 0, 0, effect::speedOrTempo, 0x03};
    return draft;
}

// Two plain notes on a sine of 100 frames a cycle: C-4 (83.63 Hz) from row 0, C-5 (167.26 Hz)
// from row 8, for the pitch and timing checks against another player.
ModuleDraft tone() {
    ModuleDraft draft(1);
    draft.addPattern(16);
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 2000; ++i) frames.push_back(std::int16_t(std::lround(12000 * std::sin(i * 2 * M_PI / 100))));
    Sample& sample = draft.addSample(draft.addInstrument(), frames);
    sample.loopType = loopForward;
    sample.loopStart = 0;
    sample.loopLength = 2000;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 8, 0) = {C5, 1, 0, 0, 0};
    return draft;
}

// --- As FastTracker 2 plays them (traced with --profile ft2; player/playback_profile.h) --------

// A sample of 2,000 frames looped forward, and one of 300 frames that does not loop.
ModuleDraft ft2Song(int channels, int rows, int speed) {
    ModuleDraft draft = song(channels, rows, speed);
    std::vector<std::int16_t> frames(300, 8000);
    draft.addSample(draft.addInstrument(), frames);
    return draft;
}

// Note delay: ED0 is no delay; ED3 at speed 3 never plays (also no volume); a delayed note
// without an instrument keeps the channel's volume; the volume column waits for the delay
// tick; a delayed key-off keys off at its tick without a retrigger. noteDelayAsFt2
ModuleDraft ft2NoteDelay() {
    ModuleDraft draft = ft2Song(1, 7, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::extended, 0xD0};     // at tick 0
    draft.cell(0, 1, 0) = {0, 0, 0, effect::setVolume, 0x20};
    draft.cell(0, 2, 0) = {C5, 0, 0, effect::extended, 0xD1};     // tick 1, volume 32 kept
    draft.cell(0, 3, 0) = {C4, 1, 0x10, effect::extended, 0xD3};  // never: not even the volume
    draft.cell(0, 4, 0) = {D4, 0, 0x18, effect::extended, 0xD2};  // tick 2 with volume 8
    draft.cell(0, 5, 0) = {off, 0, 0, effect::extended, 0xD1};    // key-off at tick 1: volume 0
    draft.cell(0, 6, 0) = {0, 0, 0x30, 0, 0};                     // the volume brings it back
    return draft;
}

// Key-off: K00 beside a note is a key-off note (the note is dropped); K02 keys off at tick 2;
// K05 at speed 3 never; without a volume envelope a key-off sets the volume to 0, and a volume
// byte beside it brings the sample back. keyOffAsNote, keyOffZeroesVolume
ModuleDraft ft2KeyOff() {
    ModuleDraft draft = ft2Song(1, 6, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 1, 0) = {C5, 0, 0, effect::keyOff, 0x00};       // C-5 never starts; volume 0
    draft.cell(0, 2, 0) = {C4, 1, 0, effect::keyOff, 0x02};       // plays, off at tick 2
    draft.cell(0, 3, 0) = {C4, 1, 0, effect::keyOff, 0x05};       // never keyed off
    draft.cell(0, 4, 0) = {off, 0, 0x28, 0, 0};                   // off, and volume 24 again
    draft.cell(0, 5, 0) = {off, 1, 0, 0, 0};                      // the instrument recalls 64
    return draft;
}

// Arpeggio at speed 6 and 18: the offsets come from FT2's table counted down from the speed
// (y, x, 0, y, x at speed 6), past 16 ticks from the vibrato table; after a slide the base is
// rounded to the semitone; B-7 + 7 is held at C-8. arpeggioTable, periodOffsetPersists
ModuleDraft ft2Arpeggio() {
    ModuleDraft draft = ft2Song(2, 5, 6);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::arpeggio, 0x47};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::portamentoUp, 0x01};  // 4 a tick off the semitone
    draft.cell(0, 2, 0) = {0, 0, 0, effect::arpeggio, 0x47};       // around the rounded base
    draft.cell(0, 3, 0) = {96, 1, 0, effect::arpeggio, 0x77};      // B-7: C-8 at the most
    draft.cell(0, 4, 0) = {C4, 1, 0, effect::arpeggio, 0x11};
    draft.cell(0, 4, 1) = {0, 0, 0, effect::speedOrTempo, 18};     // ticks 17 to 2 of the table
    return draft;
}

// Retrigger: E92 retriggers on tick 0 too when the row has no note; E90 starts the last note
// again once; R03 counts every tick, tick 0 included, across rows (tick 2 of row 3, tick 1 of
// row 4), and a new note starts the count again. retriggerAsFt2
ModuleDraft ft2Retrigger() {
    ModuleDraft draft = ft2Song(1, 6, 4);
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0x92};       // ticks 0 and 2
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extended, 0x90};       // tick 0 only
    draft.cell(0, 3, 0) = {0, 0, 0, effect::multiRetrigger, 0x03};  // every third tick
    draft.cell(0, 4, 0) = {0, 0, 0, effect::multiRetrigger, 0x00};
    draft.cell(0, 5, 0) = {C4, 1, 0, effect::multiRetrigger, 0x03};  // counted from the note: tick 2
    return draft;
}

// Tone portamento: after it reaches its note a period pushed past it snaps back; E31 plays the
// slide in semitones; a volume-column Mx beside a note slides to it. tonePortamentoAsFt2,
// volumeColumnPortamentoRow
ModuleDraft ft2TonePortamento() {
    ModuleDraft draft = ft2Song(1, 8, 4);
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 1, 0) = {D4, 0, 0, effect::tonePortamento, 0x20};  // 128 down a tick to 4480
    draft.cell(0, 2, 0) = {0, 0, 0, effect::portamentoUp, 0x10};      // 64 a tick past it
    draft.cell(0, 3, 0) = {0, 0, 0, effect::tonePortamento, 0x00};   // back up to 4480
    draft.cell(0, 4, 0) = {0, 0, 0, effect::extended, 0x31};         // glissando on
    draft.cell(0, 5, 0) = {C5, 0, 0, effect::tonePortamento, 0x08};  // heard in semitones
    draft.cell(0, 6, 0) = {0, 0, 0, effect::extended, 0x30};         // glissando off
    draft.cell(0, 7, 0) = {C4, 0, 0xF8, 0, 0};                       // slid to, 512 a tick
    return draft;
}

// Sample offset: 9xx counts only beside a note (not beside 3xx); an offset past the sample's
// end starts a note that stops at once (the voice has no sample; the trace shows the start
// taken as 0), which 3xx does not revive. sampleOffsetAsFt2
ModuleDraft ft2SampleOffset() {
    ModuleDraft draft = ft2Song(1, 5, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::sampleOffset, 0x02};  // from frame 512
    draft.cell(0, 1, 0) = {0, 0, 0, effect::sampleOffset, 0x04};   // no note: nothing
    draft.cell(0, 2, 0) = {C4, 1, 0, effect::tonePortamento, 0x10};  // 9xx memory not used
    draft.cell(0, 3, 0) = {C4, 2, 0, effect::sampleOffset, 0x02};  // 512 of 300 frames: ends
    draft.cell(0, 4, 0) = {D4, 0, 0, effect::tonePortamento, 0x10};  // stays silent
    return draft;
}

// Envelopes: they move after the tick's effects, so K01 releases the sustain at tick 1; Lxx
// sets the panning envelope's position too when the volume envelope has its sustain flag; the
// auto-vibrato's sweep stops growing at key-off; the panning envelope holds at its sustain
// point after the key-off; an instrument number without a note recalls the playing sample's
// volume and restarts the playing instrument's envelopes. envelopesAfterEffects,
// envelopePositionAsFt2, autoVibratoAsFt2, panningSustainNeverReleased, instrumentOfPlayingNote
ModuleDraft ft2Envelopes() {
    ModuleDraft draft = ft2Song(1, 7, 3);
    Instrument& instrument = draft.instrument(0);
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {2, 48};
    instrument.volumeEnvelope[2] = {10, 0};
    instrument.volumePointCount = 3;
    instrument.volumeSustainPoint = 1;
    instrument.volumeEnvelopeFlags = envelopeOn | envelopeSustain;
    instrument.panningEnvelope[0] = {0, 0};
    instrument.panningEnvelope[1] = {4, 64};
    instrument.panningEnvelope[2] = {8, 32};
    instrument.panningPointCount = 3;
    instrument.panningSustainPoint = 1;
    instrument.panningEnvelopeFlags = envelopeOn | envelopeSustain;
    instrument.autoVibratoDepth = 8;
    instrument.autoVibratoRate = 32;
    instrument.autoVibratoSweep = 8;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 2, 0) = {0, 0, 0, effect::keyOff, 0x01};         // released at tick 1
    draft.cell(0, 3, 0) = {0, 0, 0, effect::envelopePosition, 6};  // both envelopes to tick 6
    draft.cell(0, 4, 0) = {0, 1, 0, 0, 0};                         // the envelopes again
    draft.cell(0, 5, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 6, 0) = {0, 2, 0, 0, 0};                         // instrument 1's envelopes again
    return draft;
}

// An envelope whose loop ends at its sustain point: the loop (0 up to 64) plays while the key
// is down; after the key-off the envelope leaves it for its last point (64 down to 0).
// sustainLoopLeftAtKeyOff
ModuleDraft ft2EnvelopeLoop() {
    ModuleDraft draft = ft2Song(1, 5, 3);
    Instrument& instrument = draft.instrument(0);
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {2, 0};
    instrument.volumeEnvelope[2] = {4, 64};
    instrument.volumeEnvelope[3] = {6, 0};
    instrument.volumePointCount = 4;
    instrument.volumeSustainPoint = 2;
    instrument.volumeLoopStart = 1;
    instrument.volumeLoopEnd = 2;
    instrument.volumeEnvelopeFlags = envelopeOn | envelopeSustain | envelopeLoop;
    draft.cell(0, 0, 0) = {C4, 1, 0, 0, 0};
    draft.cell(0, 3, 0) = {off, 0, 0, 0, 0};
    return draft;
}

// A note without an instrument number after a key-off that named another instrument: the
// sample changes to that instrument's, but the fade-out (4,096 a tick, instrument 2's) and the
// envelope go on as they were (instrument 1 would fade 512 a tick). envelopesOfNumberedNote
ModuleDraft ft2SampleChange() {
    ModuleDraft draft = ft2Song(1, 4, 3);
    draft.instrument(0).volumeFadeout = 512;
    Instrument& second = draft.instrument(1);
    second.volumeEnvelope[0] = {0, 64};
    second.volumeEnvelope[1] = {4, 32};
    second.volumePointCount = 2;
    second.volumeEnvelopeFlags = envelopeOn;
    second.volumeFadeout = 4096;
    draft.cell(0, 0, 0) = {C4, 2, 0, 0, 0};
    draft.cell(0, 1, 0) = {off, 1, 0, 0, 0};
    draft.cell(0, 2, 0) = {C5, 0, 0, 0, 0};                        // instrument 1's sample
    return draft;
}

// Pattern loop and pattern delay: a loop ending on a pattern's last row makes the next pattern
// start at the loop's row; EE1 repeats the whole row, its note delay included.
// patternLoopAsFt2, patternDelayRepeatsRow
ModuleDraft ft2PatternLoop() {
    ModuleDraft draft = ft2Song(2, 4, 2);
    draft.addPattern(4);
    draft.song.songLength = 2;
    draft.song.orderTable[1] = 1;
    draft.cell(0, 0, 0) = {D4, 1, 0, 0, 0};
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extended, 0x60};
    draft.cell(0, 3, 0) = {0, 0, 0, effect::extended, 0x61};       // rows 2, 3, 2, 3
    draft.cell(1, 0, 0) = {C4, 1, 0, 0, 0};                        // never: order 1 starts at row 2
    draft.cell(1, 2, 0) = {C5, 1, 0, effect::extended, 0xD1};      // at tick 1 of each repeat
    draft.cell(1, 2, 1) = {0, 0, 0, effect::extended, 0xE1};       // the row twice
    return draft;
}

// The voice: volumes 256 times finer than the design's, so volume 1 stays audible (510 where the
// design has 1), and the panning (the square-root pan law of the targets is the unit test
// Ft2Profile.SquareRootPanLaw). fineVoiceVolumes, panLawAsFt2
ModuleDraft ft2PanLaw() {
    ModuleDraft draft = ft2Song(1, 4, 2);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::setPanning, 0x80};
    draft.cell(0, 1, 0) = {0, 0, 0, effect::setPanning, 0x00};
    draft.cell(0, 2, 0) = {0, 0, 0, effect::setPanning, 0xFF};
    draft.cell(0, 3, 0) = {0, 0, 0x11, effect::setPanning, 0x80};  // volume 1
    return draft;
}

// Effect memories and limits: EAx and EBx remember apart; Cxx stops at 64; tremor counts on the
// later ticks only, T00 takes the last parameter, and its mute holds until the volume is set. separateFineVolumeMemories,
// volumeLimitsAsFt2, tremorAsFt2, volumeOffsetPersists
ModuleDraft ft2Memories() {
    ModuleDraft draft = ft2Song(1, 8, 3);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::setVolume, 0x50};     // 64, not 80
    draft.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0xB4};       // down 4
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extended, 0xA2};       // up 2
    draft.cell(0, 3, 0) = {0, 0, 0, effect::extended, 0xB0};       // down 4 again, not 2
    draft.cell(0, 4, 0) = {0, 0, 0, effect::tremor, 0x02};         // on 1 tick, off 3
    draft.cell(0, 5, 0) = {0, 0, 0, effect::tremor, 0x00};
    draft.cell(0, 7, 0) = {0, 0, 0x40, 0, 0};                      // muted until the volume is set
    return draft;
}

// Notes and instruments: a note beyond B-9 after its sample's relative note is not played but
// its instrument number counts (its volume is recalled, the next note plays that instrument);
// a note of an instrument beyond the song's starts nothing: the playing sample goes on, at the
// missing sample's volume 0; E5y tunes the note beside it by (y - 8) x 16 and does nothing
// alone; a sample's finetune counts in sixteenths (23 as 16).
// notesOutOfRangeIgnored, emptyNotesKeepPlaying, finetuneCommandAsFt2, finetuneInSixteenths
ModuleDraft ft2Notes() {
    ModuleDraft draft = ft2Song(1, 7, 2);
    std::vector<std::int16_t> frames(300, 8000);
    const int high = draft.addInstrument();
    draft.addSample(high, frames).relativeNote = 30;
    const int tuned = draft.addInstrument();
    draft.addSample(tuned, frames).finetune = 23;
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::setVolume, 0x20};
    draft.cell(0, 1, 0) = {96, 3, 0, 0, 0};                       // B-7 + 30: C-4 plays on
    draft.cell(0, 2, 0) = {C4, 0, 0, 0, 0};                       // instrument 3: 2688
    draft.cell(0, 3, 0) = {C4, 9, 0, 0, 0};                       // no instrument 9: same voice
    draft.cell(0, 4, 0) = {C4, 1, 0, effect::extended, 0x5C};     // 4608 - 64 / 2
    draft.cell(0, 5, 0) = {0, 0, 0, effect::extended, 0x5F};      // no note: nothing
    draft.cell(0, 6, 0) = {C4, 4, 0, 0, 0};                       // 4608 - 2 x 4
    return draft;
}

// Period limits: 1xx stops at period 1; 2xx stops at 31,999 unless a step carries the period
// past 32,767, where it goes on and wraps at 16 bits, its frequency falling to 0 Hz and coming
// round from the top. periodLimitsAsFt2
ModuleDraft ft2Periods() {
    ModuleDraft draft = ft2Song(1, 8, 6);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::portamentoUp, 0xFF};  // 1,020 a tick: 1 at tick 5
    draft.cell(0, 1, 0) = {C4, 1, 0, effect::portamentoDown, 0xFF};
    for (int row = 2; row < 8; ++row) draft.cell(0, row, 0) = {0, 0, 0, effect::portamentoDown, 0};
    return draft;
}

// Modulation and the volume column. Channel 0: tremolo's ramp reads the vibrato's position
// (C1 leaves it at -28): +31, +27, +23 where its own phase gives 0, 4, 8; its waveform 3 is a
// square, and its offset stays on the rows after it. Channel 1: the volume
// column's slides wait for the later ticks, D0 sets hard left, and Bx beside 4xy vibrates with
// its own depth before 4xy's on every later tick (the phase moves twice).
// tremoloWaveformsAsFt2, volumeColumnAsFt2, vibratoParameterEveryTick
ModuleDraft ft2Modulation() {
    ModuleDraft draft = ft2Song(2, 5, 4);
    draft.cell(0, 0, 0) = {C4, 1, 0x30, effect::vibrato, 0xC1};  // 12 a tick: -28 after 3
    draft.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0x71};     // ramp
    draft.cell(0, 2, 0) = {0, 0, 0, effect::tremolo, 0x48};
    draft.cell(0, 3, 0) = {0, 0, 0, effect::extended, 0x73};     // square
    draft.cell(0, 4, 0) = {0, 0, 0, effect::tremolo, 0x48};
    draft.cell(0, 0, 1) = {C4, 1, 0x30, 0, 0};                    // volume 32
    draft.cell(0, 1, 1) = {0, 0, 0x72, 0, 0};                     // 34, 36, 38: not on tick 0
    draft.cell(0, 2, 1) = {0, 0, 0xC8, 0, 0};                     // panning 128
    draft.cell(0, 3, 1) = {0, 0, 0xD0, 0, 0};                     // hard left from tick 1
    draft.cell(0, 4, 1) = {0, 0, 0xB4, effect::vibrato, 0x42};
    return draft;
}

// Xxy in a file OpenMPT wrote: X1x and X2x slide the period by x; X6x lengthens each repeat of
// the row by x ticks, summed over the channels (3 + 2 here). finePatternDelay
ModuleDraft ft2FinePatternDelay() {
    ModuleDraft draft = ft2Song(2, 3, 2);
    draft.cell(0, 0, 0) = {C4, 1, 0, effect::extraFinePortamento, 0x13};  // 4605
    draft.cell(0, 1, 0) = {0, 0, 0, effect::extraFinePortamento, 0x63};
    draft.cell(0, 1, 1) = {0, 0, 0, effect::extraFinePortamento, 0x62};   // row 1: 2 + 5 ticks
    draft.cell(0, 2, 0) = {0, 0, 0, effect::extraFinePortamento, 0x25};   // 4610
    return draft;
}

struct Family {
    const char* name;
    std::function<ModuleDraft()> make;
    const char* tracker = "Quarbtro";  // the tracker the file names as its writer
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: effect-modules DIRECTORY\n");
        return 2;
    }
    const Family families[] = {
        {"portamento", portamento}, {"amiga", amiga},         {"vibrato_tremolo", vibratoTremolo},
        {"volume", volume},         {"global", globalVolumes}, {"panning", panning},
        {"envelopes", envelopes},   {"jumps", jumps},         {"delay_cut", delayCut},
        {"pattern_loop", patternLoop},
        {"retrigger", retrigger},   {"tempo", tempo},         {"tone", tone},
        {"ft2_note_delay", ft2NoteDelay}, {"ft2_key_off", ft2KeyOff}, {"ft2_arpeggio", ft2Arpeggio},
        {"ft2_retrigger", ft2Retrigger}, {"ft2_tone_portamento", ft2TonePortamento},
        {"ft2_sample_offset", ft2SampleOffset}, {"ft2_envelopes", ft2Envelopes},
        {"ft2_pattern_loop", ft2PatternLoop}, {"ft2_pan_law", ft2PanLaw},
        {"ft2_memories", ft2Memories}, {"ft2_notes", ft2Notes}, {"ft2_periods", ft2Periods},
        {"ft2_modulation", ft2Modulation}, {"ft2_envelope_loop", ft2EnvelopeLoop},
        {"ft2_sample_change", ft2SampleChange},
        {"ft2_fine_pattern_delay", ft2FinePatternDelay, "OpenMPT 1.28.00.00"},
    };
    for (const Family& family : families) {
        ModuleDraft draft = family.make();
        XmWriteOptions options;
        options.trackerName = family.tracker;
        const std::vector<std::uint8_t> bytes = writeXm(draft.module(), options);
        const std::string path = std::string(argv[1]) + "/" + family.name + ".xm";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
            std::fprintf(stderr, "effect-modules: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
