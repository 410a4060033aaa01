#include "tools/xm/module_input.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "player/xm_loader.h"

namespace quarbtro {

std::string shownName(const std::string& path) { return path == "-" ? "standard input" : path; }

bool readModuleFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& problem) {
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.clear();
    unsigned char chunk[65536];
    std::size_t count = 0;
    // The loader reads from memory with 32-bit offsets.
    constexpr std::size_t largest = std::numeric_limits<std::int32_t>::max();
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= largest)
        bytes.insert(bytes.end(), chunk, chunk + count);
    const bool failed = std::ferror(file);
    const int error = errno;
    if (file != stdin) std::fclose(file);
    if (failed) {
        problem = "cannot read " + shownName(path) + ": " + std::strerror(error);
        return false;
    }
    if (bytes.size() > largest) {
        problem = shownName(path) + ": larger than 2 GiB, more than any XM module holds";
        return false;
    }
    return true;
}

LoadedModule readModule(const std::string& path, std::string& problem) {
    std::vector<unsigned char> bytes;
    if (!readModuleFile(path, bytes, problem)) return nullptr;
    LoadedModule module(loadModuleFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    if (!module) problem = shownName(path) + ": " + lastLoadFailure().reason;
    return module;
}

}  // namespace quarbtro
