#pragma once
// The file stream: the five stream callbacks over a file on disk, for the tools. The name
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

// Registers the five file-stream callbacks.
void useFileStream();
// The five file-stream callbacks, for loads that do not go through the registry.
const FileCallbacks& fileStreamCallbacks();

}  // namespace quarbtro
