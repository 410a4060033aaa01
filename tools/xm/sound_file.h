#pragma once
// Sound files as xmrender writes them, stereo at any rate: WAV with 16-bit samples, WAV with
// 32-bit float samples (the mix itself, before rounding and clipping), FLAC (16-bit, by
// libFLAC, where it was there to build with) and raw 16-bit little-endian frames. Each writes
// to a stream it is given: a file being written, or standard output.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace quarbtro {

enum class SoundFileFormat { wav, floatWav, flac, raw };

// "wav", "float", "flac" or "raw"; nothing for any other name.
std::optional<SoundFileFormat> soundFileFormatNamed(const std::string& name);
// By the file name's extension: .wav, .flac, .raw (any case); nothing for any other.
std::optional<SoundFileFormat> soundFileFormatOfPath(const std::string& path);
// The extension a file of the format is named with: ".wav", ".flac", ".raw".
const char* extensionOf(SoundFileFormat format);

class SoundWriter {
public:
    // Writes into `file` (not closed here), which messages call `shownName`.
    SoundWriter(std::FILE* file, std::string shownName) : file_(file), shownName_(std::move(shownName)) {}
    virtual ~SoundWriter() = default;
    // Starts the file for `frames` stereo frames at `rate` Hz; false (with error()) when the
    // format cannot hold that many, or the stream refuses the bytes.
    virtual bool begin(std::int64_t frames, std::int32_t rate) = 0;
    // One block: `mix` in the 16-bit scale (full scale ±32,768, left then right) and `samples`,
    // the same frames rounded and clipped to 16 bits. Each format takes the one it stores.
    virtual bool write(const float* mix, const std::int16_t* samples, std::int32_t frames) = 0;
    // Completes the file (FLAC's last frames and its stream information); false on failure.
    virtual bool finish() = 0;
    // Why the last call failed: "cannot write out.wav: No space left on device".
    const std::string& error() const { return error_; }

protected:
    bool put(const void* bytes, std::size_t count);
    bool fail(const std::string& problem);
    std::FILE* file_;
    std::string shownName_;
    std::string error_;
};

// Whether this build writes the format: FLAC only where libFLAC was there to build with.
bool canWrite(SoundFileFormat format);
// A writer of `format` into `file` (not closed by it), which messages call `shownName`; null
// for a format this build does not write (canWrite).
std::unique_ptr<SoundWriter> makeSoundWriter(SoundFileFormat format, std::FILE* file, const std::string& shownName);

}  // namespace quarbtro
