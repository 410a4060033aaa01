// The lossless output: numbered PNG frames and a WAV file in one directory.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tools/capture/capture_output.h"
#include "tools/capture/png_writer.h"
#include "sound/wav_writer.h"

namespace quarbtro::capture {

namespace {

namespace fs = std::filesystem;

constexpr char soundFile[] = "sound.wav";

std::string frameName(std::int64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
    return name;
}

// A directory this output may replace: one that holds nothing but an earlier capture.
bool holdsOnlyACapture(const fs::path& directory) {
    static const std::regex captureFile("frame-[0-9]{6,}\\.png|sound\\.wav");
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, failure))
        if (!entry.is_regular_file() || !std::regex_match(entry.path().filename().string(), captureFile))
            return false;
    return !failure;
}

class ImageSequenceOutput : public CaptureOutput {
public:
    ImageSequenceOutput(const std::string& path, Sound sound)
        : CaptureOutput(path), partial_(path + ".partial"), sound_(std::move(sound)) {}

    bool start() {
        std::error_code failure;
        if (fs::exists(path_, failure) &&
            !(fs::is_directory(path_, failure) && holdsOnlyACapture(path_)))
            return failed(path_ + " exists and is not an earlier capture; give another -o");
        fs::remove_all(partial_, failure);
        // One level only: a mistyped parent directory is an error, not a new tree.
        if (!fs::create_directory(partial_, failure))
            return failed("cannot make " + partial_.string() + ": " + failure.message());
        return true;
    }

    bool writeFrame(const frames::Picture& picture) override {
        std::string problem;
        const std::string file = (partial_ / frameName(written_)).string();
        if (!writePng(file, picture.width, picture.height, picture.rgb.data(), problem))
            return failed(problem);
        ++written_;
        return true;
    }

    bool finish() override {
        const std::int64_t frames = static_cast<std::int64_t>(sound_.samples.size() / 2);
        std::vector<unsigned char> bytes = wavHeader(frames, sound_.rate);
        appendLittleEndian(bytes, sound_.samples.data(), sound_.samples.size());
        const fs::path wav = partial_ / soundFile;
        std::ofstream out(wav, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) return failed("cannot write " + wav.string() + ": " + std::strerror(errno));
        std::error_code failure;
        fs::remove_all(path_, failure);
        fs::rename(partial_, path_, failure);
        if (failure) return failed("cannot name the frames " + path_ + ": " + failure.message());
        return true;
    }

    void abandon() override {
        std::error_code failure;
        fs::remove_all(partial_, failure);
    }

private:
    bool failed(const std::string& reason) {
        error_ = reason;
        return false;
    }

    fs::path partial_;
    Sound sound_;
    std::int64_t written_ = 0;
};

}  // namespace

std::unique_ptr<CaptureOutput> startImageSequenceOutput(const std::string& path, Sound sound,
                                                        std::string& error) {
    auto output = std::make_unique<ImageSequenceOutput>(path, std::move(sound));
    if (!output->start()) {
        error = output->error();
        return nullptr;
    }
    return output;
}

}  // namespace quarbtro::capture
