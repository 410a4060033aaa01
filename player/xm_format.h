#pragma once
// The layout of an XM file, as the loader reads it and the writer writes it: every number
// little-endian, records one after another.
//
//   offset 0    "Extended Module: " (17 bytes), the song's name (20), 0x1A, the tracker's
//               name (20), the format version (2: 0x0104)
//   offset 60   the header's size (4, counted from offset 60: 276 with the order table), song
//               length, restart position, channels, patterns, instruments, flags, speed, BPM
//               (2 each), the order table (256 bytes)
//   then        each pattern: its header's size (4: 9), packing type (1: 0), rows (2), packed
//               data size (2), the packed cells
//   then        each instrument: its header's size (4: 263 with samples, 29 without), name
//               (22), type (1), sample count (2); with samples, the sample header's size (4:
//               40), the note-to-sample map (96), the volume and panning envelopes (12 points
//               of x and y, 2 bytes each), then one byte each: point counts, sustain and loop
//               points, envelope flags, auto-vibrato type, sweep, depth and rate; the fade-out
//               (2) and 22 reserved bytes; then each sample's 40-byte header, then each
//               sample's delta-coded data.

#include <cstdint>

namespace quarbtro::xm {

inline constexpr char signature[] = "Extended Module: ";
inline constexpr std::int32_t signatureLength = 17;
inline constexpr std::int32_t songNameLength = 20;
inline constexpr std::uint8_t nameEnd = 0x1A;            // after the song's name
inline constexpr std::int32_t trackerNameLength = 20;
inline constexpr std::uint16_t version = 0x0104;
inline constexpr std::int32_t headerStart = 60;          // where the header's size stands
inline constexpr std::uint32_t headerSize = 276;         // the header with its order table

inline constexpr std::uint32_t maxPatterns = 256;
inline constexpr std::uint32_t maxRows = 256;
inline constexpr std::uint32_t patternHeaderSize = 9;

inline constexpr std::uint8_t keyOff = 97;               // the note value of a key-off

// Packed cells: a lead byte with the top bit set says which of the five fields follow (bit i
// for field i: note, instrument, volume, effect, parameter); any other lead byte is the note of
// an unpacked cell, whose four other fields follow.
inline constexpr std::uint8_t packedCell = 0x80;

inline constexpr std::int32_t nameLength = 22;           // of an instrument or a sample
inline constexpr std::uint32_t instrumentHeaderSize = 263;
inline constexpr std::uint32_t emptyInstrumentHeaderSize = 29;  // one without samples
inline constexpr std::uint32_t sampleHeaderSize = 40;

// Bits of a sample header's type byte.
inline constexpr std::uint8_t forwardLoop = 0x01;
inline constexpr std::uint8_t pingPongLoop = 0x02;
inline constexpr std::uint8_t sixteenBit = 0x10;

// The fade-out as a file holds it is half the Module's volumeFadeout.
inline constexpr int fadeoutUnit = 2;

}  // namespace quarbtro::xm
