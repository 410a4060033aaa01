// The MP4 output: ffmpeg reads raw RGB frames from descriptor 3 and PCM from descriptor 4.
// The sound is known in full before the first frame, so a thread of its own feeds it while the
// frames are drawn: each pipe blocks only on itself, whichever input ffmpeg reads first.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/capture/capture_output.h"
#include "tools/capture/child_process.h"
#include "sound/wav_writer.h"

namespace quarbtro::capture {

namespace {

// Writes all of it, however the pipe takes it. False when the reader has gone.
bool writeAll(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

void closeOnce(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

class Mp4Output : public CaptureOutput {
public:
    explicit Mp4Output(const std::string& path) : CaptureOutput(path), partial_(path + ".partial") {}
    ~Mp4Output() override {
        if (ffmpeg_ > 0) abandon();
    }

    bool start(const std::string& program, FrameRate rate, int width, int height, Sound sound) {
        width_ = width;
        height_ = height;
        int video[2], audio[2];
        if (pipe2(video, O_CLOEXEC) != 0) return failed("cannot make a pipe");
        if (pipe2(audio, O_CLOEXEC) != 0) {
            close(video[0]);
            close(video[1]);
            return failed("cannot make a pipe");
        }
        // Room for a whole frame, so that a frame is handed over in one go (best effort).
        fcntl(video[1], F_SETPIPE_SZ, width * height * 3);
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const std::string soundRate = std::to_string(sound.rate);
        ffmpeg_ = startChild(
            {program, "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
             "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size,
             "-framerate", toString(rate), "-i", "pipe:3",
             "-f", "s16le", "-ar", soundRate, "-ac", "2", "-i", "pipe:4",
             "-map", "0:v", "-map", "1:a",
             "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
             "-c:a", "aac", "-b:a", "192k",
             "-movflags", "+faststart", "-f", "mp4", partial_},
            {{video[0], 3}, {audio[0], 4}, {STDERR_FILENO, 2}}, SIGKILL);
        close(video[0]);
        close(audio[0]);
        video_ = video[1];
        audio_ = audio[1];
        if (ffmpeg_ < 0) {
            closeOnce(video_);
            closeOnce(audio_);
            return failed("cannot start ffmpeg");
        }
        appendLittleEndian(soundBytes_, sound.samples.data(), sound.samples.size());
        soundWriter_ = std::thread([this] {
            soundWritten_ = writeAll(audio_, soundBytes_.data(), soundBytes_.size());
            closeOnce(audio_);
        });
        return true;
    }

    bool writeFrame(const frames::Picture& picture) override {
        if (picture.width != width_ || picture.height != height_)
            return failed("a frame of another size");
        if (!writeAll(video_, picture.rgb.data(), picture.rgb.size()))
            return failed("ffmpeg stopped taking frames");
        return true;
    }

    bool finish() override {
        closeOnce(video_);
        soundWriter_.join();
        const int status = waitForChild(ffmpeg_);
        ffmpeg_ = -1;
        if (status != 0) {
            unlink(partial_.c_str());
            return failed("ffmpeg failed (status " + std::to_string(status) + ")");
        }
        if (!soundWritten_) {
            unlink(partial_.c_str());
            return failed("ffmpeg did not take all of the sound");
        }
        if (rename(partial_.c_str(), path_.c_str()) != 0) {
            const std::string reason = std::strerror(errno);
            unlink(partial_.c_str());
            return failed("cannot name the video " + path_ + ": " + reason);
        }
        return true;
    }

    void abandon() override {
        if (ffmpeg_ > 0) {
            kill(ffmpeg_, SIGKILL);
            waitForChild(ffmpeg_);
            ffmpeg_ = -1;
        }
        closeOnce(video_);
        // With ffmpeg gone, a write still under way fails at once.
        if (soundWriter_.joinable()) soundWriter_.join();
        unlink(partial_.c_str());
    }

private:
    bool failed(const std::string& reason) {
        error_ = reason;
        return false;
    }

    std::string partial_;
    int width_ = 0, height_ = 0;
    pid_t ffmpeg_ = -1;
    int video_ = -1, audio_ = -1;
    std::vector<unsigned char> soundBytes_;
    std::thread soundWriter_;
    bool soundWritten_ = false;
};

}  // namespace

std::unique_ptr<CaptureOutput> startMp4Output(const std::string& ffmpeg, const std::string& path,
                                              FrameRate rate, int width, int height, Sound sound,
                                              std::string& error) {
    auto output = std::make_unique<Mp4Output>(path);
    if (!output->start(ffmpeg, rate, width, height, std::move(sound))) {
        error = output->error();
        return nullptr;
    }
    return output;
}

}  // namespace quarbtro::capture
