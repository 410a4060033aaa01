#include "tools/xm/module_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "player/xm_loader.h"

namespace quarbtro {

namespace {

constexpr char signature[] = "Extended Module: ";
constexpr std::size_t signatureLength = sizeof signature - 1;

// "256 MiB", "2.0 GiB"
std::string size(double bytes) {
    char text[32];
    if (bytes >= (1 << 30)) std::snprintf(text, sizeof text, "%.1f GiB", bytes / (1 << 30));
    else std::snprintf(text, sizeof text, "%.0f MiB", bytes / (1 << 20));
    return text;
}

}  // namespace

std::string shownName(const std::string& path) { return path == "-" ? "standard input" : path; }

bool readModuleFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& problem) {
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    auto finish = [&](bool read) {
        if (file != stdin) std::fclose(file);
        return read;
    };
    const std::string tooLarge = shownName(path) + ": larger than " + size(largestModuleBytes) +
                                 ", more than this player takes for an XM module";
    // A file too large is refused by its size, before any of it is read.
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) > largestModuleBytes) {
        problem = shownName(path) + ": " + size(static_cast<double>(status.st_size)) + ", larger than " +
                  size(largestModuleBytes) + ", more than this player takes for an XM module";
        return finish(false);
    }
    bytes.clear();
    unsigned char chunk[65536];
    std::size_t count = 0;
    bool refused = false;
    // What is not an XM module is refused as soon as its first bytes say so (a device that never
    // ends, /dev/zero, or a stream of noise), and nothing is read past the largest module taken.
    while (!refused && (count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        const std::size_t before = bytes.size();
        bytes.insert(bytes.end(), chunk, chunk + count);
        if (before < signatureLength && bytes.size() >= signatureLength)
            refused = std::memcmp(bytes.data(), signature, signatureLength) != 0;
        refused = refused || bytes.size() > largestModuleBytes;
    }
    const bool failed = !refused && std::ferror(file);
    const int error = errno;
    finish(true);
    if (failed) {
        problem = "cannot read " + shownName(path) + ": " + std::strerror(error);
        return false;
    }
    if (bytes.size() > largestModuleBytes) {
        problem = tooLarge;
        return false;
    }
    // What the loader would say of a file that is no module, without the rest of an endless one.
    if (refused) bytes.resize(signatureLength);
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
