#pragma once
// A module file as the tools read it: whole, into memory, so that standard input, pipes and
// other files that cannot seek load like any other; the loader then reads it from memory.

#include <string>
#include <vector>

#include "player/module.h"

namespace quarbtro {

// The name a path is shown by in messages: "standard input" for "-".
std::string shownName(const std::string& path);

// Reads the file at path ("-": standard input) into bytes. On failure returns false with the
// problem in words: "cannot open song.xm: No such file or directory".
bool readModuleFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& problem);

// Reads the file at path and loads it. Null on failure, with the problem in words: the read's,
// or the loader's reason after the name ("song.xm: the song has no channels").
LoadedModule readModule(const std::string& path, std::string& problem);

}  // namespace quarbtro
