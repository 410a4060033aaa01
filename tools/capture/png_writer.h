#pragma once
// Writes RGB pictures as PNG files (libpng).

#include <string>

namespace quarbtro {

// rgb: rows top first, 3 bytes a pixel. False, with the reason in `error`, on failure.
bool writePng(const std::string& path, int width, int height, const unsigned char* rgb,
              std::string& error);

}  // namespace quarbtro
