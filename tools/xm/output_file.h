#pragma once
// A file written under a temporary name beside its target ("song.wav.Ab12Cd.partial", the
// target's name shortened where that would be longer than a name may be) and
// renamed onto the target only when complete: a failure (a full disk) or an interruption
// (Ctrl+C) leaves neither a half-written file nor the temporary one.

#include <cstdio>
#include <string>

namespace quarbtro {

// Outputs that may be written at the same time (xmrender's -j).
inline constexpr int maxOutputsAtOnce = 64;

struct PartialSlot;

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { abandon(); }

    // Creates the temporary file beside `target`. False, with the problem in words, when that
    // cannot be done (no such directory, no permission).
    bool open(const std::string& target, std::string& problem);
    std::FILE* stream() const { return file_; }
    // Flushes the file to the disk, closes it and renames it onto the target. Without
    // `replace`, a target that has come to exist meanwhile is left as it is and refused.
    bool commit(bool replace, std::string& problem);
    // Closes and removes the temporary file (what the destructor does when not committed).
    void abandon();

private:
    void release();  // gives the signal handler's slot back

    std::string target_;
    std::string partial_;
    std::FILE* file_ = nullptr;
    PartialSlot* slot_ = nullptr;
};

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary files of the OutputFiles being
// written, if any, before they end the process as they would have. Files may be written on
// several threads at once, up to maxOutputsAtOnce.
void removePartialFileOnSignals();

// Whether both paths name one file (the same device and inode); false when either is missing.
bool isSameFile(const std::string& first, const std::string& second);

}  // namespace quarbtro
