#include "player/xm_writer.h"

#include <algorithm>

#include "player/xm_format.h"

namespace quarbtro {

namespace {

using namespace xm;

class ByteWriter {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t offset() const { return bytes.size(); }
    void u8(std::uint32_t value) { bytes.push_back(static_cast<std::uint8_t>(value)); }
    void u16(std::uint32_t value) { u8(value); u8(value >> 8); }
    void u32(std::uint32_t value) { u16(value); u16(value >> 16); }
    void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
    // A fixed-width text field, cut or padded with zero bytes.
    void text(const std::string& value, std::size_t width) {
        std::size_t used = std::min(value.size(), width);
        bytes.insert(bytes.end(), value.begin(), value.begin() + used);
        zeros(width - used);
    }
};

std::uint8_t fileNote(std::uint8_t note) { return note == noteKeyOff ? xm::keyOff : note; }

void writeCell(ByteWriter& out, const PatternCell& cell, bool pack) {
    std::uint8_t fields[5] = {fileNote(cell.note), cell.instrument, cell.volume, cell.effect,
                              cell.effectParam};
    // The plain form carries the note in the lead byte, so only notes below 0x80 fit it.
    if (!pack && fields[0] < packedCell) {
        for (std::uint8_t field : fields) out.u8(field);
        return;
    }
    std::uint8_t lead = packedCell;
    for (int i = 0; i < 5; ++i) {
        if (fields[i]) lead |= 1 << i;
    }
    out.u8(lead);
    for (std::uint8_t field : fields) {
        if (field) out.u8(field);
    }
}

bool isEmpty(const Pattern& pattern, int channelCount) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pattern.cells);
    std::size_t size = std::size_t(pattern.rowCount) * channelCount * sizeof(PatternCell);
    return !bytes || std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; });
}

void writePattern(ByteWriter& out, const Pattern& pattern, int channelCount,
                  const XmWriteOptions& options) {
    out.u32(options.patternHeaderSize);
    out.u8(0);  // packing type
    out.u16(pattern.rowCount);
    std::size_t sizeOffset = out.offset();
    out.u16(0);
    if (options.patternHeaderSize > xm::patternHeaderSize) out.zeros(options.patternHeaderSize - xm::patternHeaderSize);
    if (options.omitEmptyPatternData && isEmpty(pattern, channelCount)) return;
    std::size_t dataStart = out.offset();
    for (std::int32_t cell = 0; cell < pattern.rowCount * channelCount; ++cell) {
        writeCell(out, pattern.cells ? pattern.cells[cell] : PatternCell{}, options.packCells);
    }
    storeLittleEndian(out.bytes, sizeOffset, std::uint32_t(out.offset() - dataStart), 2);
}

void writeEnvelope(ByteWriter& out, const EnvelopePoint (&points)[maxEnvelopePoints]) {
    for (const EnvelopePoint& point : points) {
        out.u16(point.x);
        out.u16(point.y);
    }
}

std::uint32_t bytesPerFrame(const Sample& sample) { return sample.bits == 8 ? 1 : 2; }

void writeSampleHeader(ByteWriter& out, const Sample& sample) {
    std::uint32_t unit = bytesPerFrame(sample);
    bool loops = sample.loopType == loopForward || sample.loopType == loopPingPong;
    out.u32(sample.length * unit);
    out.u32(loops ? sample.loopStart * unit : 0);
    out.u32(loops ? sample.loopLength * unit : 0);
    out.u8(sample.volume);
    out.u8(static_cast<std::uint8_t>(sample.finetune));
    std::uint8_t type = sample.loopType == loopForward ? forwardLoop : sample.loopType == loopPingPong ? pingPongLoop : 0;
    if (unit == 2) type |= sixteenBit;
    out.u8(type);
    out.u8(static_cast<std::uint8_t>(sample.panning));
    out.u8(static_cast<std::uint8_t>(sample.relativeNote));
    out.zeros(1);  // reserved
    out.text(sample.name, nameLength);
}

// Delta coding: each stored value is the difference to the previous frame, wrapping.
void writeSampleData(ByteWriter& out, const Sample& sample) {
    std::uint16_t previous = 0;
    for (std::uint32_t k = 0; k < sample.length; ++k) {
        std::uint16_t frame = sample.data ? static_cast<std::uint16_t>(sample.data[k]) : 0;
        if (sample.bits == 8) {
            std::uint8_t high = frame >> 8;
            out.u8(high - (previous >> 8));
            previous = std::uint16_t(high << 8);
        } else {
            out.u16(std::uint16_t(frame - previous));
            previous = frame;
        }
    }
}

void writeInstrument(ByteWriter& out, const Instrument& instrument, XmLayout* layout) {
    bool hasSamples = instrument.sampleCount > 0;
    out.u32(hasSamples ? instrumentHeaderSize : emptyInstrumentHeaderSize);
    out.text(instrument.name, nameLength);
    out.zeros(1);  // type
    out.u16(instrument.sampleCount);
    std::vector<std::size_t> headers, data;
    if (hasSamples) {
        out.u32(sampleHeaderSize);
        for (std::uint8_t slot : instrument.sampleForNote) out.u8(slot);
        writeEnvelope(out, instrument.volumeEnvelope);
        writeEnvelope(out, instrument.panningEnvelope);
        for (std::uint8_t value :
             {instrument.volumePointCount, instrument.panningPointCount,
              instrument.volumeSustainPoint, instrument.volumeLoopStart, instrument.volumeLoopEnd,
              instrument.panningSustainPoint, instrument.panningLoopStart,
              instrument.panningLoopEnd, instrument.volumeEnvelopeFlags,
              instrument.panningEnvelopeFlags, instrument.autoVibratoType,
              instrument.autoVibratoSweep, instrument.autoVibratoDepth,
              instrument.autoVibratoRate}) {
            out.u8(value);
        }
        out.u16(instrument.volumeFadeout / fadeoutUnit);
        out.zeros(22);  // reserved: fills the header to instrumentHeaderSize
        for (int slot = 0; slot < instrument.sampleCount; ++slot) {
            headers.push_back(out.offset());
            writeSampleHeader(out, *instrument.samples[slot]);
        }
        for (int slot = 0; slot < instrument.sampleCount; ++slot) {
            data.push_back(out.offset());
            writeSampleData(out, *instrument.samples[slot]);
        }
    }
    if (layout) {
        layout->sampleHeaders.push_back(std::move(headers));
        layout->sampleData.push_back(std::move(data));
    }
}

}  // namespace

std::vector<std::uint8_t> writeXm(const Module& module, const XmWriteOptions& options,
                                  XmLayout* layout) {
    ByteWriter out;
    out.text(signature, signatureLength);
    out.text(options.songName, songNameLength);
    out.u8(nameEnd);
    out.text(options.trackerName, trackerNameLength);
    out.u16(xm::version);
    out.u32(options.headerSize);
    out.u16(module.songLength);
    out.u16(module.restartPosition);
    out.u16(module.channelCount);
    out.u16(module.patternCount);
    out.u16(module.instrumentCount);
    out.u16(module.flags);
    out.u16(module.defaultSpeed);
    out.u16(module.defaultBpm);
    for (std::uint8_t entry : module.orderTable) out.u8(entry);
    if (options.headerSize > xm::headerSize) out.zeros(options.headerSize - xm::headerSize);

    if (layout) *layout = {};
    for (std::int32_t p = 0; p < module.patternCount; ++p) {
        if (layout) layout->patterns.push_back(out.offset());
        writePattern(out, module.patterns[p], module.channelCount, options);
    }
    for (std::int32_t i = 0; i < module.instrumentCount; ++i) {
        if (layout) layout->instruments.push_back(out.offset());
        writeInstrument(out, module.instruments[i], layout);
    }
    return std::move(out.bytes);
}

void storeLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value,
                       int byteCount) {
    for (int i = 0; i < byteCount; ++i) bytes.at(offset + i) = std::uint8_t(value >> (8 * i));
}

}  // namespace quarbtro
