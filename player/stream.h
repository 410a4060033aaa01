#pragma once
// The stream layer the XM loader reads through. The loader never touches files or bytes
// directly: it opens a ModuleFile over a set of five callbacks, given with each load, and every
// request goes to them. Two sources ship with the player: the memory stream, over bytes in
// memory (the intro's embedded song, a tool's file read whole, a test's generated file), and
// the file stream, over a file on disk. Both clamp reads and seeks to the stream's bounds, so a
// reader sees the same behaviour from either.
//
// Nothing here is process-wide: each open stream belongs to the thread that opened it.

#include <cstdint>

namespace quarbtro {

using StreamOpen = void* (*)(const void* name);
using StreamClose = void (*)(void* stream);
// Copies up to byteCount bytes into buffer; returns how many it copied (0 at the end).
using StreamRead = std::int32_t (*)(void* buffer, std::int32_t byteCount, void* stream);
// origin: seekFromStart, seekFromCurrent or seekFromEnd; any other value changes nothing.
using StreamSeek = void (*)(void* stream, std::int32_t offset, std::uint8_t origin);
using StreamTell = std::int32_t (*)(void* stream);

inline constexpr std::uint8_t seekFromStart = 0;
inline constexpr std::uint8_t seekFromCurrent = 1;
inline constexpr std::uint8_t seekFromEnd = 2;

struct FileCallbacks {
    StreamOpen open;
    StreamClose close;
    StreamRead read;
    StreamSeek seek;
    StreamTell tell;
};

// One open stream, owned by whoever opened it. The operations forward to the callbacks it was
// opened with; a null file reads 0 bytes, tells 0 and ignores seeks and closes.
struct ModuleFile {
    void* stream;
    FileCallbacks callbacks;
};

// Opens name through the callbacks given (all five set); null when open fails.
ModuleFile* openModuleFile(const FileCallbacks& callbacks, const void* name);
void closeModuleFile(ModuleFile* file);
std::int32_t readModuleFile(void* buffer, std::int32_t byteCount, ModuleFile* file);
void seekModuleFile(ModuleFile* file, std::int32_t offset, std::uint8_t origin);
std::int32_t tellModuleFile(ModuleFile* file);

// The memory stream: a read position over constant bytes that stay owned by the caller.
// Reads past the end are shortened (down to 0 bytes); a seek past the end lands at the end and
// one before the start lands at the start.
struct MemoryStream {
    std::int32_t size;         // total bytes
    std::int32_t position;     // 0..size
    const std::uint8_t* data;  // first byte
};

// Bytes a memory stream reads: the name a memory stream is opened with. They must stay valid
// while a stream over them is open.
struct MemorySource {
    const void* data;
    std::int32_t size;  // below 0 counts as 0
};

// A memory stream over the MemorySource that `source` points to; null when allocation fails.
void* memoryStreamOpen(const void* source);
void memoryStreamClose(void* stream);
std::int32_t memoryStreamRead(void* buffer, std::int32_t byteCount, void* stream);
void memoryStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin);
std::int32_t memoryStreamTell(void* stream);

// The five memory-stream callbacks.
const FileCallbacks& memoryStreamCallbacks();

// The arithmetic both streams share: how many of byteCount bytes a read at position may copy,
// and where a seek lands (clamped to 0..size).
std::int32_t clampedReadCount(std::int32_t position, std::int32_t size, std::int32_t byteCount);
std::int32_t seekTarget(std::int32_t position, std::int32_t size, std::int32_t offset,
                        std::uint8_t origin);

}  // namespace quarbtro
