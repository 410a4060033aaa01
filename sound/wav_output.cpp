// A WAV file sink: takes frames as fast as they come and writes them to a file, for tools,
// tests and benches that want exactly what a player sent. The file is written under
// "NAME.partial" and gets its name only when closed complete: a sink that fails or is never
// closed leaves no file by the name asked for. 16-bit stereo only, as the tools write it.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "sound/sound_output.h"
#include "sound/wav_writer.h"

namespace quarbtro {

namespace {

// Frames the sink offers at a time: it never runs short of room.
constexpr long roomFrames = 4096;

struct WavState {
    std::FILE* file;
    std::string path;       // the name it gets once complete
    std::string partial;    // the name it has while written
    std::int64_t frames;    // frames written so far
    std::int32_t rate;
    std::vector<unsigned char> bytes;  // one write's samples, little-endian
};

WavState& stateOf(SoundOutput& output) { return *static_cast<WavState*>(output.state); }

bool open(SoundOutput& output, const SoundFormat& wanted, const char* target, OutputError& error) {
    if (target == nullptr || *target == 0) {
        error.text = "the WAV sink needs a file name";
        return false;
    }
    if (wanted.channels != 2 || wanted.encoding != SampleEncoding::s16LittleEndian) {
        error.text = std::string(target) + ": only 16-bit stereo";
        return false;
    }
    auto* wav = new (std::nothrow) WavState{nullptr, target, std::string(target) + ".partial", 0, wanted.rate, {}};
    if (wav == nullptr) {
        error.text = "out of memory";
        return false;
    }
    wav->file = std::fopen(wav->partial.c_str(), "wb");
    const std::vector<unsigned char> header = wavHeader(0, wanted.rate);
    if (wav->file == nullptr || std::fwrite(header.data(), 1, header.size(), wav->file) != header.size()) {
        error.text = wav->partial + ": " + std::strerror(errno);
        if (wav->file) {
            std::fclose(wav->file);
            std::remove(wav->partial.c_str());
        }
        delete wav;
        return false;
    }
    output.state = wav;
    output.format = wanted;
    output.bufferFrames = static_cast<std::int32_t>(roomFrames);
    return true;
}

long waitForRoom(SoundOutput&, int) { return roomFrames; }

long write(SoundOutput& output, const void* samples, long frames) {
    WavState& wav = stateOf(output);
    wav.bytes.clear();
    appendLittleEndian(wav.bytes, static_cast<const std::int16_t*>(samples),
                       static_cast<std::size_t>(frames) * 2);
    if (std::fwrite(wav.bytes.data(), 1, wav.bytes.size(), wav.file) != wav.bytes.size())
        return errno ? -errno : -EIO;
    wav.frames += frames;
    return frames;
}

long queued(SoundOutput&) { return 0; }

int recover(SoundOutput&, int error) { return error; }

// Completes the header and gives the file its name; a file that cannot be completed goes.
void close(SoundOutput& output) {
    WavState& wav = stateOf(output);
    const std::vector<unsigned char> header = wavHeader(wav.frames, wav.rate);
    const bool complete = std::fseek(wav.file, 0, SEEK_SET) == 0 &&
                          std::fwrite(header.data(), 1, header.size(), wav.file) == header.size();
    if (std::fclose(wav.file) == 0 && complete)
        std::rename(wav.partial.c_str(), wav.path.c_str());
    else
        std::remove(wav.partial.c_str());
    delete &wav;
    output.state = nullptr;
}

}  // namespace

const SoundBackend wavBackend = {"wav", "the WAV file",
                                  open, waitForRoom, write, queued, recover, close};

}  // namespace quarbtro
