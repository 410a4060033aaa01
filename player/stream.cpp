#include "player/stream.h"

#include <cstdlib>
#include <cstring>

namespace quarbtro {

ModuleFile* openModuleFile(const FileCallbacks& callbacks, const void* name) {
    auto* file = static_cast<ModuleFile*>(std::calloc(1, sizeof(ModuleFile)));
    if (!file) return nullptr;
    file->callbacks = callbacks;
    file->stream = callbacks.open(name);
    if (!file->stream) {
        std::free(file);
        return nullptr;
    }
    return file;
}

void closeModuleFile(ModuleFile* file) {
    if (!file) return;
    file->callbacks.close(file->stream);
    std::free(file);
}

std::int32_t readModuleFile(void* buffer, std::int32_t byteCount, ModuleFile* file) {
    return file ? file->callbacks.read(buffer, byteCount, file->stream) : 0;
}

void seekModuleFile(ModuleFile* file, std::int32_t offset, std::uint8_t origin) {
    if (file) file->callbacks.seek(file->stream, offset, origin);
}

std::int32_t tellModuleFile(ModuleFile* file) { return file ? file->callbacks.tell(file->stream) : 0; }

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

void* memoryStreamOpen(const void* source) {
    const auto& bytes = *static_cast<const MemorySource*>(source);
    auto* stream = static_cast<MemoryStream*>(std::calloc(1, sizeof(MemoryStream)));
    if (!stream) return nullptr;
    stream->data = static_cast<const std::uint8_t*>(bytes.data);
    stream->size = bytes.data && bytes.size > 0 ? bytes.size : 0;
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

const FileCallbacks& memoryStreamCallbacks() {
    static constexpr FileCallbacks callbacks = {memoryStreamOpen, memoryStreamClose, memoryStreamRead,
                                                memoryStreamSeek, memoryStreamTell};
    return callbacks;
}

}  // namespace quarbtro
