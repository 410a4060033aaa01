#include "tools/xm/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quarbtro {

// The temporary files being written, for the signal handler: each OutputFile open takes a
// slot (claimed and given back through `taken`), whose name is in a buffer of its own, since
// the handler may call nothing but unlink on it; `pending` says the name is there to remove.
struct PartialSlot {
    std::atomic<bool> taken;
    volatile sig_atomic_t pending;
    char name[PATH_MAX];
};

namespace {

PartialSlot partialSlots[maxOutputsAtOnce];

void removePartialAndEnd(int signalNumber) {
    for (PartialSlot& slot : partialSlots)
        if (slot.pending) unlink(slot.name);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

std::string errorText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The temporary name beside `target`: its name with `suffix` after it, the name shortened (at
// a character's start, for UTF-8) where the two would be longer than the directory allows.
std::string partialName(const std::string& target, const std::string& suffix) {
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const long longest = pathconf(directory.c_str(), _PC_NAME_MAX);
    const std::size_t limit = longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX;
    if (name.size() + suffix.size() > limit && limit > suffix.size()) {
        std::size_t keep = limit - suffix.size();
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name.resize(keep);
    }
    return (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + name + suffix;
}

}  // namespace

bool OutputFile::open(const std::string& target, std::string& problem) {
    abandon();
    target_ = target;
    const std::string temporary = partialName(target, ".XXXXXX.partial");
    const int afterRandom = static_cast<int>(std::strlen(".partial"));
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    if (name.size() > PATH_MAX) {
        errno = ENAMETOOLONG;
        problem = errorText("cannot write", target);
        return false;
    }
    for (PartialSlot& candidate : partialSlots) {
        bool free = false;
        if (candidate.taken.compare_exchange_strong(free, true)) {
            slot_ = &candidate;
            break;
        }
    }
    if (!slot_) {
        problem = "cannot write " + target + ": more than " + std::to_string(maxOutputsAtOnce) + " outputs at once";
        return false;
    }
    const int descriptor = mkostemps(name.data(), afterRandom, O_CLOEXEC);
    if (descriptor < 0) {
        problem = errorText("cannot write", target);
        return false;
    }
    // mkstemp makes the file 0600; a finished output is as readable as any other new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    partial_ = name.data();
    std::memcpy(slot_->name, name.data(), name.size());
    slot_->pending = 1;
    file_ = fdopen(descriptor, "wb");
    if (!file_) {
        problem = errorText("cannot write", target);
        close(descriptor);
        abandon();
        return false;
    }
    return true;
}

bool OutputFile::commit(bool replace, std::string& problem) {
    int error = 0;
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) error = errno;
    if (std::fclose(file_) != 0 && error == 0) error = errno;
    file_ = nullptr;
    if (error != 0) {
        errno = error;
        problem = errorText("cannot write", target_);
        abandon();
        return false;
    }
    bool renamed;
    if (replace) {
        renamed = std::rename(partial_.c_str(), target_.c_str()) == 0;
    } else {
        renamed = renameat2(AT_FDCWD, partial_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0;
        if (!renamed && errno == EINVAL) {  // a file system without RENAME_NOREPLACE
            renamed = link(partial_.c_str(), target_.c_str()) == 0;
            if (renamed) unlink(partial_.c_str());
        }
    }
    if (!renamed) {
        problem = errno == EEXIST ? target_ + " exists: --force writes over it" : errorText("cannot write", target_);
        abandon();
        return false;
    }
    partial_.clear();
    release();
    return true;
}

void OutputFile::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!partial_.empty()) unlink(partial_.c_str());
    partial_.clear();
    release();
}

void OutputFile::release() {
    if (!slot_) return;
    slot_->pending = 0;
    slot_->taken.store(false);
    slot_ = nullptr;
}

void removePartialFileOnSignals() {
    struct sigaction action {};
    action.sa_handler = removePartialAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

bool isSameFile(const std::string& first, const std::string& second) {
    struct stat a, b;
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace quarbtro
