#pragma once
// The song in memory: what the XM loader builds, filled in by the loader (or a test, or the
// song generator) and never written while it plays. Where a playing stands (order, row, tick,
// tempo, global volume) belongs to the Player playing it (player.h), so one module can play on
// several players at once. Plain records, zero-filled at creation; every integer field has the
// width and signedness the player's arithmetic relies on.

#include <cstdint>
#include <memory>

namespace quarbtro {

// What the records hold room for.
inline constexpr int maxOrders = 256;                // entries of the order table
inline constexpr int maxInstruments = 128;           // instrument numbers run 1..128
inline constexpr int maxSamplesPerInstrument = 16;
inline constexpr int maxEnvelopePoints = 12;

// Note values of a pattern cell.
inline constexpr std::uint8_t lastNote = 96;     // B-7; notes run from 1 = C-0
inline constexpr std::uint8_t noteKeyOff = 255;  // the key-off, as the loader stores it

// Effect numbers of a pattern cell: 0..9, then A = 10 up to Z = 35.
namespace effect {
inline constexpr std::uint8_t arpeggio = 0x0;
inline constexpr std::uint8_t portamentoUp = 0x1;
inline constexpr std::uint8_t portamentoDown = 0x2;
inline constexpr std::uint8_t tonePortamento = 0x3;
inline constexpr std::uint8_t vibrato = 0x4;
inline constexpr std::uint8_t tonePortamentoVolumeSlide = 0x5;
inline constexpr std::uint8_t vibratoVolumeSlide = 0x6;
inline constexpr std::uint8_t tremolo = 0x7;
inline constexpr std::uint8_t setPanning = 0x8;
inline constexpr std::uint8_t sampleOffset = 0x9;
inline constexpr std::uint8_t volumeSlide = 0xA;
inline constexpr std::uint8_t positionJump = 0xB;
inline constexpr std::uint8_t setVolume = 0xC;
inline constexpr std::uint8_t patternBreak = 0xD;
inline constexpr std::uint8_t extended = 0xE;  // Exy: the sub-effect is x (below)
inline constexpr std::uint8_t speedOrTempo = 0xF;
inline constexpr std::uint8_t globalVolume = 16;        // G
inline constexpr std::uint8_t globalVolumeSlide = 17;   // H
inline constexpr std::uint8_t keyOff = 20;              // K
inline constexpr std::uint8_t envelopePosition = 21;    // L
inline constexpr std::uint8_t panningSlide = 25;        // P
inline constexpr std::uint8_t multiRetrigger = 27;      // R
inline constexpr std::uint8_t tremor = 29;              // T
inline constexpr std::uint8_t extraFinePortamento = 33; // X
inline constexpr int count = 36;

// The x of Exy.
inline constexpr std::uint8_t finePortamentoUp = 0x1;
inline constexpr std::uint8_t finePortamentoDown = 0x2;
inline constexpr std::uint8_t vibratoWaveform = 0x4;
inline constexpr std::uint8_t setFinetune = 0x5;
inline constexpr std::uint8_t patternLoop = 0x6;
inline constexpr std::uint8_t tremoloWaveform = 0x7;
inline constexpr std::uint8_t coarsePanning = 0x8;
inline constexpr std::uint8_t retrigger = 0x9;
inline constexpr std::uint8_t fineVolumeUp = 0xA;
inline constexpr std::uint8_t fineVolumeDown = 0xB;
inline constexpr std::uint8_t noteCut = 0xC;
inline constexpr std::uint8_t noteDelay = 0xD;
inline constexpr std::uint8_t patternDelay = 0xE;
}  // namespace effect

// The volume column's commands (volume_column.h): a byte of 0x10..0x50 sets the volume; from
// 0x60 on its high nibble names the command below, its low nibble is the parameter.
namespace volumeCommand {
inline constexpr std::uint8_t setVolumeFirst = 0x10;    // volume 0
inline constexpr std::uint8_t setVolumeLast = 0x50;     // volume 64
inline constexpr std::uint8_t slideDown = 0x6;
inline constexpr std::uint8_t slideUp = 0x7;
inline constexpr std::uint8_t fineSlideDown = 0x8;
inline constexpr std::uint8_t fineSlideUp = 0x9;
inline constexpr std::uint8_t vibratoSpeed = 0xA;
inline constexpr std::uint8_t vibrato = 0xB;            // the depth; the speed stays
inline constexpr std::uint8_t setPanning = 0xC;
inline constexpr std::uint8_t panningSlideLeft = 0xD;
inline constexpr std::uint8_t panningSlideRight = 0xE;
inline constexpr std::uint8_t tonePortamento = 0xF;
}  // namespace volumeCommand

// One pattern cell, five bytes with no padding.
struct PatternCell {
    std::uint8_t note;         // 0 none; 1..96 notes (1 = C-0); 255 key off (the file's 97)
    std::uint8_t instrument;   // 0 none; 1..128
    std::uint8_t volume;       // volume-column byte as in the file
    std::uint8_t effect;       // effect type, 0..35 in practice
    std::uint8_t effectParam;  // effect parameter
};
static_assert(sizeof(PatternCell) == 5);

struct Pattern {
    std::int32_t rowCount;  // rows
    PatternCell* cells;     // owned; rowCount x channelCount, row-major
};

struct EnvelopePoint {
    std::uint16_t x;  // ticks from the start of the note
    std::uint16_t y;  // 0..64 (volume), 0..64 with 32 = centre (panning)
};

// Loop types are one-hot values, not 0/1/2.
inline constexpr std::uint8_t loopNone = 1;
inline constexpr std::uint8_t loopForward = 2;
inline constexpr std::uint8_t loopPingPong = 4;

struct Sample {
    std::int16_t* data;       // owned; length + 8 frames (a guard frame and padding); null if empty
    std::uint32_t length;     // frames
    std::uint32_t loopStart;  // frames
    std::uint32_t loopLength; // frames; the whole sample when it does not loop
    std::uint8_t volume;      // default volume 0..64
    std::int8_t finetune;     // 1/128 semitone
    std::int32_t panning;     // default panning 0..255, 128 = centre
    std::uint8_t bits;        // 16 once loaded
    std::uint8_t loopType;    // loopNone, loopForward or loopPingPong
    std::int8_t relativeNote; // semitones added to the row's note
    char name[23];            // as the file has it (22 bytes, any padding kept), then a 0
};

// Bits of an instrument's volumeEnvelopeFlags and panningEnvelopeFlags.
inline constexpr std::uint8_t envelopeOn = 0x01;
inline constexpr std::uint8_t envelopeSustain = 0x02;
inline constexpr std::uint8_t envelopeLoop = 0x04;

struct Instrument {
    std::int32_t sampleCount;           // 0..16
    // Slots below sampleCount owned; the rest: emptySample.
    const Sample* samples[maxSamplesPerInstrument];
    std::uint8_t sampleForNote[lastNote];  // sample slot per 0-based note; above 15: empty sample
    EnvelopePoint volumeEnvelope[maxEnvelopePoints];
    EnvelopePoint panningEnvelope[maxEnvelopePoints];
    std::uint8_t volumePointCount;
    std::uint8_t panningPointCount;
    std::uint8_t volumeSustainPoint;
    std::uint8_t volumeLoopStart;
    std::uint8_t volumeLoopEnd;
    std::uint8_t panningSustainPoint;
    std::uint8_t panningLoopStart;
    std::uint8_t panningLoopEnd;
    std::uint8_t volumeEnvelopeFlags;   // envelopeOn, envelopeSustain, envelopeLoop
    std::uint8_t panningEnvelopeFlags;  // the same bits
    std::uint8_t autoVibratoType;       // waveform 0..3
    std::uint8_t autoVibratoSweep;      // ticks to full depth; 0 = at once
    std::uint8_t autoVibratoDepth;
    std::uint8_t autoVibratoRate;       // phase step per tick, 1/256 cycle
    std::uint16_t volumeFadeout;        // per tick after key-off, 1/65536 of full volume
    char name[23];                      // as the file has it (22 bytes), then a 0
};

inline constexpr std::uint16_t linearFrequencyTable = 0x0001;  // Module::flags bit 0

struct Module {
    Pattern* patterns;                 // owned; patternCount entries
    Instrument* instruments;           // owned; instrumentCount entries
    std::int16_t songLength;           // used order-table entries
    std::int16_t restartPosition;      // order position after the last entry
    std::int16_t channelCount;         // channels in every row
    std::int32_t usedPatternCount;     // 1 + the largest pattern number the song uses
    std::int32_t patternCount;         // entries in patterns
    std::int16_t instrumentCount;      // entries in instruments
    std::uint16_t flags;               // linearFrequencyTable, else Amiga periods
    std::int16_t defaultSpeed;         // ticks per row at start
    std::int16_t defaultBpm;           // beats per minute at start
    std::uint8_t orderTable[maxOrders];  // pattern number per order position
    std::uint8_t initialGlobalVolume;  // 64: the global volume at start
    // Optional supplier of sample data for the loader: (buffer, bytes, bits, instrument, slot).
    void (*onSampleLoad)(void* buffer, std::int32_t bytes, std::int32_t bits,
                         std::int32_t instrument, std::int32_t sample);
    char title[21];                    // the song's name as the file has it (20 bytes), then a 0
    char trackerName[21];              // the program that wrote the file (20 bytes), then a 0
};

// Shared zero-filled records that stand in for missing instruments and samples; never written,
// never freed.
extern const Sample emptySample;
extern const Instrument emptyInstrument;

// Releases a module and everything it owns, in any state the loader can leave it in (nothing
// allocated yet, partly read, complete): 0 for a null module, else 1. Relies only on the counts
// and on null tests; sample slots at or above an instrument's sampleCount are never freed.
// Every player playing the module must have ended its playing first (endPlayback, or the
// sound layer's stopPlayback): the module does not know who plays it.
std::int32_t freeModule(const Module* module);

// A loaded module that frees itself.
struct ModuleRelease {
    void operator()(const Module* module) const { freeModule(module); }
};
using LoadedModule = std::unique_ptr<Module, ModuleRelease>;

}  // namespace quarbtro
