#include "player/stream.h"

#include <cstdlib>
#include <cstring>

namespace quarbtro {

namespace {

FileCallbacks registry = {};

struct {
    const std::uint8_t* data;
    std::int32_t size;
} memorySource = {};

}  // namespace

void registerFileCallbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                           StreamTell tell) {
    if (open && close && read && seek && tell) {
        registry = {open, close, read, seek, tell};
    } else {
        registry = {};
    }
}

const FileCallbacks& fileCallbacks() { return registry; }

bool fileCallbacksRegistered() { return registry.open != nullptr; }

ModuleFile* openModuleFile(const void* name) {
    auto* file = static_cast<ModuleFile*>(std::calloc(1, sizeof(ModuleFile)));
    if (!file) return nullptr;
    file->stream = registry.open(name);
    if (!file->stream) {
        std::free(file);
        return nullptr;
    }
    return file;
}

void closeModuleFile(ModuleFile* file) {
    if (!file) return;
    registry.close(file->stream);
    std::free(file);
}

std::int32_t readModuleFile(void* buffer, std::int32_t byteCount, ModuleFile* file) {
    return file ? registry.read(buffer, byteCount, file->stream) : 0;
}

void seekModuleFile(ModuleFile* file, std::int32_t offset, std::uint8_t origin) {
    if (file) registry.seek(file->stream, offset, origin);
}

std::int32_t tellModuleFile(ModuleFile* file) { return file ? registry.tell(file->stream) : 0; }

std::int32_t clampedReadCount(std::int32_t position, std::int32_t size, std::int32_t byteCount) {
    if (byteCount <= 0 || position >= size) return 0;
    // Compared by subtraction: position + byteCount could pass the 32-bit range.
    return byteCount > size - position ? size - position : byteCount;
}

std::int32_t seekTarget(std::int32_t position, std::int32_t size, std::int32_t offset,
                        std::uint8_t origin) {
    std::int64_t target = position;
    switch (origin) {
        case seekFromStart: target = offset; break;
        case seekFromCurrent: target = std::int64_t{position} + offset; break;
        case seekFromEnd: target = std::int64_t{size} + offset; break;
        default: break;
    }
    if (target > size) target = size;
    if (target < 0) target = 0;
    return static_cast<std::int32_t>(target);
}

void setMemoryStreamSource(const void* data, std::int32_t size) {
    memorySource.data = static_cast<const std::uint8_t*>(data);
    memorySource.size = data && size > 0 ? size : 0;
}

void* memoryStreamOpen(const void*) {
    auto* stream = static_cast<MemoryStream*>(std::calloc(1, sizeof(MemoryStream)));
    if (!stream) return nullptr;
    stream->data = memorySource.data;
    stream->size = memorySource.size;
    return stream;
}

void memoryStreamClose(void* stream) { std::free(stream); }

std::int32_t memoryStreamRead(void* buffer, std::int32_t byteCount, void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    std::int32_t count = clampedReadCount(stream->position, stream->size, byteCount);
    if (count > 0) std::memcpy(buffer, stream->data + stream->position, count);
    stream->position += count;
    return count;
}

void memoryStreamSeek(void* handle, std::int32_t offset, std::uint8_t origin) {
    auto* stream = static_cast<MemoryStream*>(handle);
    stream->position = seekTarget(stream->position, stream->size, offset, origin);
}

std::int32_t memoryStreamTell(void* handle) { return static_cast<MemoryStream*>(handle)->position; }

void useMemoryStream() {
    registerFileCallbacks(memoryStreamOpen, memoryStreamClose, memoryStreamRead, memoryStreamSeek,
                          memoryStreamTell);
}

}  // namespace quarbtro
