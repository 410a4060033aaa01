#pragma once
// A module file as the tools read it: whole, into memory, so that standard input, pipes and
// other files that cannot seek load like any other; the loader then reads it from memory.

#include <cstddef>
#include <string>
#include <vector>

#include "player/module.h"

namespace quarbtro {

// The name a path is shown by in messages: "standard input" for "-".
std::string shownName(const std::string& path);

// The largest module read: several times what the largest modules made hold (tens of MiB of
// samples), and a quarter of what the loader's 32-bit offsets could reach.
inline constexpr std::size_t largestModuleBytes = std::size_t{256} << 20;

// Reads the file at path ("-": standard input) into bytes. On failure returns false with the
// problem in words: "cannot open song.xm: No such file or directory". A file larger than
// largestModuleBytes is refused by its size before it is read; a stream is read no further
// than that, and no further than its first bytes once they are not an XM module's signature
// (they are then all the bytes given, for the loader to refuse).
bool readModuleFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& problem);

// What the tools say of a song of length 0, whose order list is empty: one outcome for all.
inline constexpr const char* nothingToPlay = "the song has no order positions (its song length is 0): nothing to play";

// Reads the file at path and loads it. Null on failure, with the problem in words: the read's,
// or the loader's reason after the name ("song.xm: the song has no channels").
LoadedModule readModule(const std::string& path, std::string& problem);

}  // namespace quarbtro
