#include "player/xm_loader.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "player/channel.h"
#include "player/file_stream.h"
#include "player/xm_format.h"

namespace quarbtro {

namespace {

using namespace xm;

constexpr std::uint32_t maxSongLength = maxOrders;
constexpr std::uint32_t maxSamples = maxSamplesPerInstrument;
constexpr std::int32_t rowsOfMissingPattern = 64;
constexpr std::int32_t paddingFrames = 8;

thread_local LoadFailureKind failureKind = LoadFailureKind::none;
thread_local char failureReason[200] = "";
thread_local char warningText[300] = "";

std::int32_t fail(LoadFailureKind kind, const char* format, ...) {
    failureKind = kind;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(failureReason, sizeof failureReason, format, arguments);
    va_end(arguments);
    return 0;
}

std::int32_t outOfMemory() { return fail(LoadFailureKind::outOfMemory, "out of memory"); }

template <typename T>
T* allocateZeroed(std::size_t count) {
    return static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)));
}

// Sequential little-endian reading. A read past the end yields zero bytes, as if the file went
// on with zeros (and says so: ranOut); every seek is clamped to the file.
class XmReader {
public:
    explicit XmReader(ModuleFile* file) : file_(file) {
        seekModuleFile(file_, 0, seekFromEnd);
        size_ = std::max(tellModuleFile(file_), 0);
        seekTo(0);
    }

    std::int32_t position() { return tellModuleFile(file_); }
    std::int64_t bytesLeft() { return std::int64_t{size_} - position(); }

    void seekTo(std::int64_t target) {
        target = std::clamp<std::int64_t>(target, 0, size_);
        seekModuleFile(file_, static_cast<std::int32_t>(target), seekFromStart);
    }
    void skip(std::int64_t count) { seekTo(position() + count); }

    // Reads count bytes into destination; whatever the file does not hold reads as zero.
    void bytes(void* destination, std::int32_t count) {
        std::int32_t got = std::max(readModuleFile(destination, count, file_), 0);
        if (got < count) {
            std::memset(static_cast<std::uint8_t*>(destination) + got, 0, count - got);
            ranOut_ = true;
        }
    }
    // Whether a read has asked for more than the file held.
    bool ranOut() const { return ranOut_; }
    void markRanOut() { ranOut_ = true; }
    std::int64_t size() const { return size_; }
    std::uint8_t u8() {
        std::uint8_t value;
        bytes(&value, 1);
        return value;
    }
    std::uint16_t u16() {
        std::uint8_t b[2];
        bytes(b, 2);
        return std::uint16_t(b[0] | b[1] << 8);
    }
    std::uint32_t u32() {
        std::uint8_t b[4];
        bytes(b, 4);
        return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
               std::uint32_t(b[3]) << 24;
    }

private:
    ModuleFile* file_;
    std::int32_t size_;
    bool ranOut_ = false;
};

// Where a file that ends early ended, for the one warning that says what is missing.
struct Shortfall {
    bool header = false;           // the file ends inside the module header
    std::int32_t pattern = -1;     // the first pattern cut short or missing
    std::int32_t instrument = -1;  // the first instrument (from 0) whose header is cut or missing
    std::int32_t sampleInstrument = -1, sample = -1;  // the first sample whose data is cut short
    std::int64_t sampleBytesMissing = 0;  // of every sample together
    std::int64_t firstSampleBytes = 0;    // the declared length of that first sample's data
};
thread_local Shortfall shortfall;

// Header fields as the file gives them, before they become Module fields.
struct XmHeader {
    std::uint32_t headerSize;
    std::uint16_t songLength, restartPosition, channelCount, patternCount, instrumentCount;
    std::uint16_t flags, speed, bpm;
};

std::int32_t checkHeader(const XmHeader& header) {
    if (header.songLength > maxSongLength)
        return fail(LoadFailureKind::refused, "song length %u is above %u", header.songLength,
                    maxSongLength);
    if (header.channelCount == 0)
        return fail(LoadFailureKind::refused, "the song has no channels");
    if (header.channelCount > maxChannels)
        return fail(LoadFailureKind::refused, "%u channels, more than %d", header.channelCount,
                    maxChannels);
    if (header.patternCount > maxPatterns)
        return fail(LoadFailureKind::refused, "%u patterns, more than %u", header.patternCount,
                    maxPatterns);
    if (header.instrumentCount > maxInstruments)
        return fail(LoadFailureKind::refused, "%u instruments, more than %d",
                    header.instrumentCount, maxInstruments);
    return 1;
}

// The tempo fields are clamped to what the tempo effects can set during play (1..31 ticks
// per row, 32..255 BPM): a speed of 0 would never end a row, a BPM of 0 has no tick length.
std::int16_t clampedSpeed(std::uint16_t speed) { return std::int16_t(std::clamp<int>(speed, 1, 31)); }
std::int16_t clampedBpm(std::uint16_t bpm) { return std::int16_t(std::clamp<int>(bpm, 32, 255)); }

void applyHeader(Module* module, const XmHeader& header) {
    module->songLength = std::int16_t(header.songLength);
    // A restart position outside the song would continue at an order entry that no pattern
    // was made for; established players start over from the top instead.
    module->restartPosition =
        header.restartPosition < header.songLength ? std::int16_t(header.restartPosition) : 0;
    module->channelCount = std::int16_t(header.channelCount);
    module->instrumentCount = std::int16_t(header.instrumentCount);
    module->flags = header.flags;
    module->defaultSpeed = clampedSpeed(header.speed);
    module->defaultBpm = clampedBpm(header.bpm);

    int largest = -1;
    for (int position = 0; position < module->songLength; ++position)
        largest = std::max<int>(largest, module->orderTable[position]);
    module->usedPatternCount = largest + 1;
    // Position 0 is played even in a song of length 0, so its pattern must exist too.
    module->patternCount =
        std::max({std::int32_t{header.patternCount}, module->usedPatternCount,
                  std::int32_t{module->orderTable[0]} + 1});
}

// Unpacks cells from packed bytes; bytes beyond the end of the data read as zero.
class CellUnpacker {
public:
    explicit CellUnpacker(const std::vector<std::uint8_t>& packed) : packed_(packed) {}
    std::size_t consumed() const { return next_; }

    PatternCell cell() {
        PatternCell cell = {};
        std::uint8_t lead = byte();
        if (lead & packedCell) {
            if (lead & 0x01) cell.note = byte();
            if (lead & 0x02) cell.instrument = byte();
            if (lead & 0x04) cell.volume = byte();
            if (lead & 0x08) cell.effect = byte();
            if (lead & 0x10) cell.effectParam = byte();
        } else {
            cell.note = lead;
            cell.instrument = byte();
            cell.volume = byte();
            cell.effect = byte();
            cell.effectParam = byte();
        }
        if (cell.note == keyOff) cell.note = noteKeyOff;
        if (cell.instrument > maxInstruments) cell.instrument = 0;
        return cell;
    }

private:
    std::uint8_t byte() {
        std::uint8_t value = next_ < packed_.size() ? packed_[next_] : 0;
        ++next_;
        return value;
    }
    const std::vector<std::uint8_t>& packed_;
    std::size_t next_ = 0;
};

std::int32_t readPattern(Module* module, XmReader& in, int number) {
    Pattern& pattern = module->patterns[number];
    const std::int64_t recordStart = in.position();
    const std::uint32_t headerLength = in.u32();
    in.skip(1);  // packing type
    std::uint32_t rows = in.u16();
    std::uint32_t packedSize = in.u16();
    // The header's length counts from its start: a writer may put more after these 9 bytes.
    if (headerLength > patternHeaderSize) in.seekTo(recordStart + headerLength);
    if (rows > maxRows)
        return fail(LoadFailureKind::refused, "pattern %d has %u rows, more than %u", number, rows,
                    maxRows);
    std::int64_t cellCount = std::int64_t{rows} * module->channelCount;
    // A pattern of 0 rows is played as 64 empty rows, as established players do.
    pattern.rowCount = rows == 0 ? rowsOfMissingPattern : std::int32_t(rows);
    pattern.cells = allocateZeroed<PatternCell>(std::size_t(pattern.rowCount) * module->channelCount);
    if (!pattern.cells) return outOfMemory();
    if (packedSize == 0 || rows == 0) return 1;

    // The cells announce their own length (at most 6 bytes each); the packed size is not
    // trusted. Read enough for the worst case, then go back to the end of what was used.
    std::int32_t start = in.position();
    std::vector<std::uint8_t> packed(std::size_t(std::min<std::int64_t>(cellCount * 6, in.bytesLeft())));
    in.bytes(packed.data(), std::int32_t(packed.size()));
    CellUnpacker unpacker(packed);
    for (std::int64_t c = 0; c < cellCount; ++c) pattern.cells[c] = unpacker.cell();
    // The cells went on past the end of the file: they hold zeros from there.
    if (unpacker.consumed() > packed.size()) in.markRanOut();
    in.seekTo(start + std::int64_t(unpacker.consumed()));
    return 1;
}

std::int32_t readPatterns(Module* module, XmReader& in, std::uint32_t filePatterns) {
    module->patterns = allocateZeroed<Pattern>(module->patternCount);
    if (!module->patterns) return outOfMemory();
    for (std::uint32_t p = 0; p < filePatterns; ++p) {
        if (!readPattern(module, in, int(p))) return 0;
        if (in.ranOut() && shortfall.pattern < 0) shortfall.pattern = std::int32_t(p);
    }
    // Pattern numbers the order table uses but the file does not hold: 64 empty rows.
    for (std::int32_t p = std::int32_t(filePatterns); p < module->patternCount; ++p) {
        Pattern& pattern = module->patterns[p];
        pattern.rowCount = rowsOfMissingPattern;
        pattern.cells = allocateZeroed<PatternCell>(std::size_t(rowsOfMissingPattern) * module->channelCount);
        if (!pattern.cells) return outOfMemory();
    }
    return 1;
}

void readEnvelope(XmReader& in, EnvelopePoint (&points)[maxEnvelopePoints]) {
    for (EnvelopePoint& point : points) {
        point.x = in.u16();
        point.y = in.u16();
    }
}

// Established players switch off what an envelope's indices cannot support: the whole
// envelope beyond its 12 points, the sustain or the loop where it names a point beyond the last.
// Indices are kept inside the points in use so that nothing can read past them.
void sanitizeEnvelope(std::uint8_t& pointCount, std::uint8_t& sustain, std::uint8_t& loopStart,
                      std::uint8_t& loopEnd, std::uint8_t& flags) {
    if (pointCount < 2 || pointCount > maxEnvelopePoints) flags = 0;
    pointCount = std::min<std::uint8_t>(pointCount, maxEnvelopePoints);
    if (sustain >= pointCount) flags &= ~envelopeSustain;
    if (loopStart >= pointCount || loopEnd >= pointCount || loopStart > loopEnd)
        flags &= ~envelopeLoop;
    std::uint8_t last = pointCount ? pointCount - 1 : 0;
    sustain = std::min(sustain, last);
    loopStart = std::min(loopStart, last);
    loopEnd = std::min(loopEnd, last);
}

void readInstrumentHeader(Instrument& ins, XmReader& in) {
    in.skip(4);  // sample header size, taken to be sampleHeaderSize
    in.bytes(ins.sampleForNote, sizeof ins.sampleForNote);
    readEnvelope(in, ins.volumeEnvelope);
    readEnvelope(in, ins.panningEnvelope);
    ins.volumePointCount = in.u8();
    ins.panningPointCount = in.u8();
    ins.volumeSustainPoint = in.u8();
    ins.volumeLoopStart = in.u8();
    ins.volumeLoopEnd = in.u8();
    ins.panningSustainPoint = in.u8();
    ins.panningLoopStart = in.u8();
    ins.panningLoopEnd = in.u8();
    ins.volumeEnvelopeFlags = in.u8();
    ins.panningEnvelopeFlags = in.u8();
    ins.autoVibratoType = in.u8();
    ins.autoVibratoSweep = in.u8();
    ins.autoVibratoDepth = in.u8();
    ins.autoVibratoRate = in.u8();
    ins.volumeFadeout = std::uint16_t(in.u16() * fadeoutUnit);
    sanitizeEnvelope(ins.volumePointCount, ins.volumeSustainPoint, ins.volumeLoopStart,
                     ins.volumeLoopEnd, ins.volumeEnvelopeFlags);
    sanitizeEnvelope(ins.panningPointCount, ins.panningSustainPoint, ins.panningLoopStart,
                     ins.panningLoopEnd, ins.panningEnvelopeFlags);
}

// Reads one 40-byte sample header; returns the byte length of the sample's data in the file.
std::uint32_t readSampleHeader(Sample& sample, XmReader& in) {
    std::uint32_t byteLength = in.u32();
    std::uint32_t loopStart = in.u32();
    std::uint32_t loopLength = in.u32();
    sample.volume = std::min<std::uint8_t>(in.u8(), 64);
    sample.finetune = static_cast<std::int8_t>(in.u8());
    std::uint8_t type = in.u8();
    sample.bits = (type & sixteenBit) ? 16 : 8;
    sample.loopType = (type & pingPongLoop) ? loopPingPong : (type & forwardLoop) ? loopForward : loopNone;
    sample.panning = in.u8();
    sample.relativeNote = static_cast<std::int8_t>(in.u8());
    in.skip(1);  // reserved
    in.bytes(sample.name, nameLength);

    std::uint32_t unit = sample.bits / 8;
    sample.length = byteLength / unit;
    sample.loopStart = loopStart / unit;
    sample.loopLength = loopLength / unit;
    // The loop is clamped into the sample; lengths are compared by subtraction, since
    // loopStart + loopLength can wrap around 2^32.
    if (sample.loopType != loopNone) {
        if (sample.loopStart >= sample.length) sample.loopLength = 0;
        else sample.loopLength = std::min(sample.loopLength, sample.length - sample.loopStart);
    }
    if (sample.loopType == loopNone || sample.loopLength == 0) {
        sample.loopType = loopNone;
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
    return byteLength;
}

// Turns the stored values into frames: 8-bit values widened to 16 bits, the delta coding
// undone (unless a hook supplied plain values), the frames the file did not hold (from
// `present` on) silent, the guard frame written after the loop.
void decodeSample(Sample& sample, std::uint8_t* raw, bool deltaCoded, std::uint32_t present) {
    std::int16_t* frames = sample.data;
    if (sample.bits == 8) {
        // Backwards, since frame k overwrites raw bytes 2k and 2k + 1.
        for (std::uint32_t k = sample.length; k-- > 0;)
            frames[k] = std::int16_t(std::uint16_t(raw[k]) << 8);
    } else {
        for (std::uint32_t k = 0; k < sample.length; ++k)
            frames[k] = std::int16_t(raw[2 * k] | raw[2 * k + 1] << 8);
    }
    sample.bits = 16;
    if (deltaCoded) {
        std::uint16_t sum = 0;
        for (std::uint32_t k = 0; k < sample.length; ++k) {
            sum = std::uint16_t(sum + std::uint16_t(frames[k]));
            frames[k] = std::int16_t(sum);
        }
    }
    for (std::uint32_t k = present; k < sample.length; ++k) frames[k] = 0;
    std::uint32_t end = sample.loopStart + sample.loopLength;
    if (sample.loopType == loopForward) frames[end] = frames[sample.loopStart];
    if (sample.loopType == loopPingPong) frames[end] = frames[end - 1];
}

std::int32_t readSampleData(const Module* module, XmReader& in, Sample& sample, int instrument, int slot,
                            std::uint32_t byteLength) {
    // A file that ends in its sample data plays the missing part as silence, as established
    // players do; a shortfall larger than the whole file is no file cut short but a length
    // that cannot be, and is refused (it would make the sample larger than the file can justify).
    const std::int64_t missing = std::max<std::int64_t>(std::int64_t{byteLength} - in.bytesLeft(), 0);
    if (shortfall.sampleBytesMissing + missing > in.size())
        return fail(LoadFailureKind::refused,
                    "sample %d of instrument %d holds %u bytes, more than the %lld left in the file",
                    slot, instrument + 1, byteLength, static_cast<long long>(in.bytesLeft()));
    if (missing > 0 && shortfall.sample < 0 && byteLength > 0) {
        shortfall.sampleInstrument = instrument;
        shortfall.sample = slot;
        shortfall.firstSampleBytes = byteLength;
    }
    shortfall.sampleBytesMissing += missing;
    const auto presentBytes = static_cast<std::uint32_t>(byteLength - missing);
    std::int64_t end = std::int64_t{in.position()} + byteLength;
    if (sample.length > 0) {
        sample.data = allocateZeroed<std::int16_t>(std::size_t(sample.length) + paddingFrames);
        if (!sample.data) return outOfMemory();
        auto* raw = reinterpret_cast<std::uint8_t*>(sample.data);
        auto storedBytes = std::int32_t(sample.length * (sample.bits / 8));
        if (module->onSampleLoad) {
            module->onSampleLoad(raw, storedBytes, sample.bits, instrument, slot);
        } else {
            in.bytes(raw, storedBytes);
        }
        decodeSample(sample, raw, !module->onSampleLoad,
                     module->onSampleLoad ? sample.length : presentBytes / (sample.bits / 8));
    }
    sample.bits = 16;
    // The whole declared length is passed over: a 16-bit sample of odd byte length leaves its
    // last byte unused rather than shifting everything after it by one byte.
    in.seekTo(end);
    return 1;
}

std::int32_t readInstrument(Module* module, XmReader& in, int index) {
    Instrument& ins = module->instruments[index];
    std::int64_t recordStart = in.position();
    std::uint32_t headerSize = in.u32();
    in.bytes(ins.name, nameLength);
    in.skip(1);  // type
    std::uint32_t sampleCount = in.u16();
    if (sampleCount > maxSamples)
        return fail(LoadFailureKind::refused, "instrument %d has %u samples, more than %u",
                    index + 1, sampleCount, maxSamples);
    ins.sampleCount = std::int32_t(sampleCount);
    if (sampleCount > 0) readInstrumentHeader(ins, in);
    in.seekTo(recordStart + headerSize);

    // The instrument's own samples, filled in here; the module holds them as constant.
    Sample* samples[maxSamples] = {};
    std::uint32_t byteLengths[maxSamples] = {};
    for (std::uint32_t s = 0; s < sampleCount; ++s) {
        ins.samples[s] = samples[s] = allocateZeroed<Sample>(1);
        if (!samples[s]) return outOfMemory();
        byteLengths[s] = readSampleHeader(*samples[s], in);
    }
    for (std::uint32_t s = sampleCount; s < maxSamples; ++s) ins.samples[s] = &emptySample;
    if (in.ranOut() && shortfall.pattern < 0 && shortfall.instrument < 0 && shortfall.sample < 0)
        shortfall.instrument = index;
    for (std::uint32_t s = 0; s < sampleCount; ++s) {
        if (!readSampleData(module, in, *samples[s], index, int(s), byteLengths[s])) return 0;
    }
    return 1;
}

// "instruments 3 to 17", "instrument 17"
std::string range(const char* noun, std::int64_t first, std::int64_t last) {
    return std::string(noun) + (first == last ? " " + std::to_string(first)
                                              : "s " + std::to_string(first) + " to " + std::to_string(last));
}

std::string byteCount(std::int64_t bytes) { return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"); }

// The one warning about a file that ends early, or "": what is cut short or missing from where
// the file ends, all of which plays as silence.
std::string shortfallWarning(const Module& module, std::int32_t filePatterns) {
    const std::int32_t instruments = module.instrumentCount;
    std::string missing;
    bool several = false;
    if (shortfall.header) {
        missing = "the module header is cut short";
    } else if (shortfall.pattern >= 0) {
        missing = range("pattern", shortfall.pattern, filePatterns - 1);
        several = shortfall.pattern < filePatterns - 1;
        if (instruments > 0) {
            missing += " and " + range("instrument", 1, instruments);
            several = true;
        }
        missing += several ? " are cut short or missing" : " is cut short or missing";
    } else if (shortfall.instrument >= 0) {
        missing = range("instrument", shortfall.instrument + 1, instruments) +
                  (shortfall.instrument + 1 < instruments ? " are cut short or missing" : " is cut short or missing");
    } else if (shortfall.sample >= 0) {
        missing = "the sample data lacks " + byteCount(shortfall.sampleBytesMissing) + " from sample " +
                  std::to_string(shortfall.sample) + " of instrument " + std::to_string(shortfall.sampleInstrument + 1) +
                  " (of its " + byteCount(shortfall.firstSampleBytes) + ") on";
        if (shortfall.sampleInstrument + 1 < instruments)
            missing += ", and " + range("instrument", shortfall.sampleInstrument + 2, instruments) +
                       (shortfall.sampleInstrument + 2 < instruments ? " are missing" : " is missing");
    } else {
        return "";
    }
    return "the file ends early: " + missing + "; the missing part plays as silence";
}

}  // namespace

std::int32_t readXm(Module* module, ModuleFile* file) {
    failureKind = LoadFailureKind::none;
    failureReason[0] = '\0';
    warningText[0] = '\0';
    shortfall = Shortfall{};
    if (!module || !file) return fail(LoadFailureKind::cannotOpen, "no module file");
    XmReader in(file);

    char start[signatureLength];
    in.bytes(start, signatureLength);
    if (std::memcmp(start, signature, signatureLength) != 0)
        return fail(LoadFailureKind::refused,
                    "not an XM module: it does not begin with \"Extended Module: \"");
    module->initialGlobalVolume = 64;
    in.bytes(module->title, songNameLength);
    in.skip(1);  // nameEnd
    in.bytes(module->trackerName, trackerNameLength);

    in.seekTo(headerStart);
    XmHeader header = {};
    header.headerSize = in.u32();
    header.songLength = in.u16();
    header.restartPosition = in.u16();
    header.channelCount = in.u16();
    header.patternCount = in.u16();
    header.instrumentCount = in.u16();
    header.flags = in.u16();
    header.speed = in.u16();
    header.bpm = in.u16();
    in.bytes(module->orderTable, sizeof module->orderTable);
    shortfall.header = in.ranOut();
    if (!checkHeader(header)) return 0;
    applyHeader(module, header);
    in.seekTo(std::int64_t{headerStart} + header.headerSize);

    if (!readPatterns(module, in, header.patternCount)) return 0;
    if (module->instrumentCount > 0) {
        module->instruments = allocateZeroed<Instrument>(module->instrumentCount);
        if (!module->instruments) return outOfMemory();
        for (int i = 0; i < module->instrumentCount; ++i) {
            if (!readInstrument(module, in, i)) return 0;
        }
    }
    const std::string warning = shortfallWarning(*module, header.patternCount);
    std::snprintf(warningText, sizeof warningText, "%s", warning.c_str());
    return 1;
}

Module* loadModuleWith(const FileCallbacks& callbacks, const void* name, SampleLoadHook sampleLoadHook) {
    failureKind = LoadFailureKind::none;
    failureReason[0] = '\0';
    ModuleFile* file = openModuleFile(callbacks, name);
    if (!file) {
        fail(LoadFailureKind::cannotOpen, "cannot open the module");
        return nullptr;
    }
    auto* module = allocateZeroed<Module>(1);
    if (!module) {
        closeModuleFile(file);
        outOfMemory();
        return nullptr;
    }
    module->onSampleLoad = sampleLoadHook;
    std::int32_t loaded = readXm(module, file);
    closeModuleFile(file);
    if (!loaded) {
        freeModule(module);
        return nullptr;
    }
    return module;
}

Module* loadModuleFile(const char* path, SampleLoadHook sampleLoadHook) {
    return loadModuleWith(fileStreamCallbacks(), path, sampleLoadHook);
}

Module* loadModuleFromMemory(const void* bytes, std::int32_t size, SampleLoadHook sampleLoadHook) {
    // The bytes need not outlive this call: nothing reads them after the load.
    const MemorySource source = {bytes, size};
    return loadModuleWith(memoryStreamCallbacks(), &source, sampleLoadHook);
}

LoadFailure lastLoadFailure() { return {failureKind, failureReason}; }

const char* lastLoadWarning() { return warningText; }

}  // namespace quarbtro
