#pragma once
// Where a capture goes. Either an MP4 file (H.264 video, AAC sound) made by ffmpeg, which runs
// as a child process fed raw frames and PCM through two pipes; or, lossless, a directory of
// numbered PNG frames with the sound beside them as a WAV file. Both are written under a
// ".partial" name and take their real one only when complete, so a failed or interrupted
// capture never looks like a finished one.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/capture/capture_timing.h"
#include "tools/capture/frame_reader.h"

namespace quarbtro::capture {

// The sound of the capture, interleaved 16-bit stereo at `rate` Hz.
struct Sound {
    std::vector<std::int16_t> samples;
    std::int32_t rate;
};

class CaptureOutput {
public:
    virtual ~CaptureOutput() = default;
    // The next frame, rows top first. False on failure, with the reason in error().
    virtual bool writeFrame(const frames::Picture& picture) = 0;
    // Completes the output and gives it its name. False on failure.
    virtual bool finish() = 0;
    // Stops and removes whatever was written.
    virtual void abandon() = 0;

    // The finished output: the MP4 file, or the directory of frames.
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

protected:
    explicit CaptureOutput(std::string path) : path_(std::move(path)) {}
    std::string path_;
    std::string error_;
};

// Starts ffmpeg for an MP4 at `path`; null, with the reason in `error`, when that fails.
std::unique_ptr<CaptureOutput> startMp4Output(const std::string& ffmpeg, const std::string& path,
                                              FrameRate rate, int width, int height, Sound sound,
                                              std::string& error);

// A directory at `path` that gets frame-000000.png, frame-000001.png, ... and sound.wav. An
// existing directory is replaced only when it holds nothing but such files.
std::unique_ptr<CaptureOutput> startImageSequenceOutput(const std::string& path, Sound sound,
                                                        std::string& error);

}  // namespace quarbtro::capture
