#pragma once
// The file stream: the five stream callbacks over a file on disk. The name
// given to open is the file's path (a C string). Reads and seeks are clamped exactly as the
// memory stream clamps them; files of 2 GiB and more cannot be opened (positions are 32-bit).
// A failed open leaves errno saying why.

#include <cstdint>

#include "player/stream.h"

namespace quarbtro {

void* fileStreamOpen(const void* path);
void fileStreamClose(void* stream);
std::int32_t fileStreamRead(void* buffer, std::int32_t byteCount, void* stream);
void fileStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin);
std::int32_t fileStreamTell(void* stream);

// The five file-stream callbacks.
const FileCallbacks& fileStreamCallbacks();

}  // namespace quarbtro
