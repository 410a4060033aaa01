#pragma once
// The XM writer: a Module built in memory, as the loader would build it, in; the bytes of an
// XM file out. The song generator writes the intro's song with it, and the tests write the
// files they load.
//
// What is taken from the Module: songLength, restartPosition, channelCount, flags,
// defaultSpeed, defaultBpm and the whole orderTable; patternCount patterns (rowCount rows of
// channelCount cells; a cell note of 255 is written as the file's key-off, 97); instrumentCount
// instruments with everything the loader reads (volumeFadeout is halved back into the file's
// unit); each instrument's first sampleCount samples. Sample data is given as decoded 16-bit
// frames (length of them) and written delta-coded: as 16-bit data, or as 8-bit data (each
// frame's high byte) when the Sample's bits is 8. Loops are given in frames, one-hot types as
// in the Module; a sample with loopNone is written with loop start and length 0.
//
// The options and the layout exist for tests that make damaged or unusual files: write a
// good file, then change the bytes at the offsets the layout gives.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "player/module.h"
#include "player/xm_format.h"

namespace quarbtro {

struct XmWriteOptions {
    std::uint32_t headerSize = xm::headerSize;  // counted from offset 60; above 276 adds zeros
    std::uint32_t patternHeaderSize = xm::patternHeaderSize;  // above 9 adds zeros to each
    bool packCells = true;               // false: every cell as its note byte plus four bytes
    bool omitEmptyPatternData = false;   // all-zero patterns get packed size 0 and no data
    std::string songName;                // at most 20 bytes are written
    std::string trackerName = "Quarbtro";  // at most 20 bytes; players read some rules from it
};

// Offsets in the written bytes, for tests that patch them.
struct XmLayout {
    std::vector<std::size_t> patterns;                  // each pattern record
    std::vector<std::size_t> instruments;               // each instrument record
    std::vector<std::vector<std::size_t>> sampleHeaders;  // per instrument, each 40-byte header
    std::vector<std::vector<std::size_t>> sampleData;     // per instrument, each sample's data
};

std::vector<std::uint8_t> writeXm(const Module& module, const XmWriteOptions& options = {},
                                  XmLayout* layout = nullptr);

// Overwrites byteCount bytes (1, 2 or 4) at offset with value, little-endian.
void storeLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value,
                       int byteCount);

}  // namespace quarbtro
