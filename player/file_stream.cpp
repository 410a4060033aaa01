#include "player/file_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <sys/stat.h>

#include "player/stream.h"

namespace quarbtro {

namespace {

struct FileStream {
    std::FILE* file;
    std::int32_t size;
    std::int32_t position;
};

// The file's size, or -1 (with errno set) when it is no plain file or does not fit 32 bits.
long fileSize(std::FILE* file) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0) return -1;
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(file);
    if (size < 0) return -1;
    if (size > std::numeric_limits<std::int32_t>::max()) {
        errno = EFBIG;
        return -1;
    }
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

}  // namespace

void* fileStreamOpen(const void* path) {
    std::FILE* file = std::fopen(static_cast<const char*>(path), "rb");
    if (!file) return nullptr;
    long size = fileSize(file);
    auto* stream = size < 0 ? nullptr : static_cast<FileStream*>(std::calloc(1, sizeof(FileStream)));
    if (!stream) {
        int reason = size < 0 ? errno : ENOMEM;
        std::fclose(file);
        errno = reason;
        return nullptr;
    }
    stream->file = file;
    stream->size = static_cast<std::int32_t>(size);
    return stream;
}

void fileStreamClose(void* handle) {
    auto* stream = static_cast<FileStream*>(handle);
    std::fclose(stream->file);
    std::free(stream);
}

std::int32_t fileStreamRead(void* buffer, std::int32_t byteCount, void* handle) {
    auto* stream = static_cast<FileStream*>(handle);
    std::int32_t count = clampedReadCount(stream->position, stream->size, byteCount);
    if (count <= 0) return 0;
    // A file that shrank since it was opened reads short; the position follows what was read.
    auto got = static_cast<std::int32_t>(std::fread(buffer, 1, count, stream->file));
    stream->position += got;
    return got;
}

void fileStreamSeek(void* handle, std::int32_t offset, std::uint8_t origin) {
    auto* stream = static_cast<FileStream*>(handle);
    std::int32_t target = seekTarget(stream->position, stream->size, offset, origin);
    if (std::fseek(stream->file, target, SEEK_SET) == 0) stream->position = target;
}

std::int32_t fileStreamTell(void* handle) { return static_cast<FileStream*>(handle)->position; }

const FileCallbacks& fileStreamCallbacks() {
    static constexpr FileCallbacks callbacks = {fileStreamOpen, fileStreamClose, fileStreamRead,
                                                fileStreamSeek, fileStreamTell};
    return callbacks;
}

}  // namespace quarbtro
