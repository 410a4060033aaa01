#include "tools/xm/sound_file.h"

#ifdef QUARBTRO_WITH_FLAC
#include <FLAC/stream_encoder.h>
#endif
#include <sys/types.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "sound/wav_writer.h"

namespace quarbtro {

namespace {

// A RIFF file's sizes are 32-bit: the data may take what the header leaves.
constexpr std::int64_t largestRiffData = 0xFFFFFFFFll - 64;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string tooLongForWav(std::int64_t frames, std::int32_t rate) {
    return std::to_string(frames / rate) + " s of sound at " + std::to_string(rate) +
           " Hz is more than a WAV file holds (4 GiB): write FLAC or raw";
}

// 16-bit little-endian frames, after a WAV header or without one (raw).
class Pcm16Writer final : public SoundWriter {
public:
    Pcm16Writer(std::FILE* file, std::string shownName, bool wavHeaderFirst)
        : SoundWriter(file, std::move(shownName)), wavHeaderFirst_(wavHeaderFirst) {}
    bool begin(std::int64_t frames, std::int32_t rate) override {
        if (!wavHeaderFirst_) return true;
        if (frames * 4 > largestRiffData) return fail(tooLongForWav(frames, rate));
        const std::vector<unsigned char> header = wavHeader(frames, rate);
        return put(header.data(), header.size());
    }
    bool write(const float*, const std::int16_t* samples, std::int32_t frames) override {
        bytes_.clear();
        appendLittleEndian(bytes_, samples, 2 * static_cast<std::size_t>(frames));
        return put(bytes_.data(), bytes_.size());
    }
    bool finish() override { return true; }

private:
    bool wavHeaderFirst_;
    std::vector<unsigned char> bytes_;
};

// 32-bit float samples, full scale ±1.0: the mix divided by 32,768, nothing rounded or clipped.
class FloatWavWriter final : public SoundWriter {
public:
    using SoundWriter::SoundWriter;
    bool begin(std::int64_t frames, std::int32_t rate) override {
        if (frames * 8 > largestRiffData) return fail(tooLongForWav(frames, rate));
        const std::vector<unsigned char> header = wavHeader(frames, rate, WavSamples::float32);
        return put(header.data(), header.size());
    }
    bool write(const float* mix, const std::int16_t*, std::int32_t frames) override {
        bytes_.clear();
        for (std::int32_t i = 0; i < 2 * frames; ++i)
            putLittleEndian(bytes_, std::bit_cast<std::uint32_t>(mix[i] / 32768.0f), 4);
        return put(bytes_.data(), bytes_.size());
    }
    bool finish() override { return true; }

private:
    std::vector<unsigned char> bytes_;
};

#ifdef QUARBTRO_WITH_FLAC
// libFLAC's encoder writing through this writer's stream: where the stream can seek (a file),
// the encoder goes back at the end to complete the stream information (length, checksum).
class FlacWriter final : public SoundWriter {
public:
    using SoundWriter::SoundWriter;
    ~FlacWriter() override {
        if (encoder_) FLAC__stream_encoder_delete(encoder_);
    }
    bool begin(std::int64_t frames, std::int32_t rate) override {
        encoder_ = FLAC__stream_encoder_new();
        if (!encoder_) return fail("cannot start the FLAC encoder: out of memory");
        FLAC__stream_encoder_set_channels(encoder_, 2);
        FLAC__stream_encoder_set_bits_per_sample(encoder_, 16);
        FLAC__stream_encoder_set_sample_rate(encoder_, static_cast<unsigned>(rate));
        FLAC__stream_encoder_set_compression_level(encoder_, 5);
        FLAC__stream_encoder_set_total_samples_estimate(encoder_, static_cast<FLAC__uint64>(frames));
        const bool seekable = ftello(file_) >= 0;
        const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
            encoder_, writeBytes, seekable ? seekTo : nullptr, seekable ? tellWhere : nullptr, nullptr, this);
        if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
            return fail(std::string("cannot start the FLAC encoder: ") + FLAC__StreamEncoderInitStatusString[status]);
        return true;
    }
    bool write(const float*, const std::int16_t* samples, std::int32_t frames) override {
        wide_.assign(samples, samples + 2 * static_cast<std::size_t>(frames));
        if (FLAC__stream_encoder_process_interleaved(encoder_, wide_.data(), static_cast<unsigned>(frames)))
            return true;
        return encoderFailed();
    }
    bool finish() override { return FLAC__stream_encoder_finish(encoder_) || encoderFailed(); }

private:
    bool encoderFailed() {
        if (!error_.empty()) return false;  // the stream's own failure, said by put()
        return fail(std::string("FLAC encoder: ") +
                    FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(encoder_)]);
    }
    static FLAC__StreamEncoderWriteStatus writeBytes(const FLAC__StreamEncoder*, const FLAC__byte bytes[],
                                                     size_t count, unsigned, unsigned, void* self) {
        return static_cast<FlacWriter*>(self)->put(bytes, count) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                                 : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    static FLAC__StreamEncoderSeekStatus seekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* self) {
        return fseeko(static_cast<FlacWriter*>(self)->file_, static_cast<off_t>(offset), SEEK_SET) == 0
                   ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                   : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tellWhere(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* self) {
        const off_t where = ftello(static_cast<FlacWriter*>(self)->file_);
        if (where < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(where);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }

    FLAC__StreamEncoder* encoder_ = nullptr;
    std::vector<FLAC__int32> wide_;
};

#endif

}  // namespace

bool SoundWriter::put(const void* bytes, std::size_t count) {
    if (std::fwrite(bytes, 1, count, file_) == count) return true;
    return fail("cannot write " + shownName_ + ": " + std::strerror(errno));
}

bool SoundWriter::fail(const std::string& problem) {
    if (error_.empty()) error_ = problem;
    return false;
}

std::optional<SoundFileFormat> soundFileFormatNamed(const std::string& name) {
    if (name == "wav") return SoundFileFormat::wav;
    if (name == "float") return SoundFileFormat::floatWav;
    if (name == "flac") return SoundFileFormat::flac;
    if (name == "raw") return SoundFileFormat::raw;
    return std::nullopt;
}

std::optional<SoundFileFormat> soundFileFormatOfPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
    const std::string extension = lowerCase(path.substr(dot));
    if (extension == ".wav") return SoundFileFormat::wav;
    if (extension == ".flac") return SoundFileFormat::flac;
    if (extension == ".raw") return SoundFileFormat::raw;
    return std::nullopt;
}

const char* extensionOf(SoundFileFormat format) {
    switch (format) {
        case SoundFileFormat::flac: return ".flac";
        case SoundFileFormat::raw: return ".raw";
        default: return ".wav";
    }
}

#ifdef QUARBTRO_WITH_FLAC
bool canWrite(SoundFileFormat) { return true; }
#else
bool canWrite(SoundFileFormat format) { return format != SoundFileFormat::flac; }
#endif

std::unique_ptr<SoundWriter> makeSoundWriter(SoundFileFormat format, std::FILE* file, const std::string& shownName) {
    switch (format) {
        case SoundFileFormat::floatWav: return std::make_unique<FloatWavWriter>(file, shownName);
        case SoundFileFormat::flac:
#ifdef QUARBTRO_WITH_FLAC
            return std::make_unique<FlacWriter>(file, shownName);
#else
            return nullptr;
#endif
        case SoundFileFormat::raw: return std::make_unique<Pcm16Writer>(file, shownName, false);
        case SoundFileFormat::wav: break;
    }
    return std::make_unique<Pcm16Writer>(file, shownName, true);
}

}  // namespace quarbtro
