// quarbtro-capture: the intro rendered offline as a video with its sound, frame-exact.
//
//   quarbtro-capture [-o OUT.mp4] [--fps N] [--from CS] [--to CS] [--lossless] [--headless]
//
// Each frame is drawn by the intro's own frame function at the clock the intro would read at
// that frame's time (frame n of N frames a second shows floor(n x 100 / N) centiseconds), and
// the sound is the embedded song rendered by the player's block renderer from its start, so
// picture and sound agree exactly whatever the machine's speed. The capture ends where the end
// scene would quit, at 42.5 s. The picture is the intro's whole 660 x 500 window.

#include <signal.h>
#include <unistd.h>

#include <GL/freeglut.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "assets/songXm.h"
#include "cli/command_line.h"
#include "intro/shell.h"
#include "scenes/time_line.h"
#include "tools/capture/capture_output.h"
#include "tools/capture/capture_progress.h"
#include "tools/capture/capture_sound.h"
#include "tools/capture/capture_timing.h"
#include "tools/capture/child_process.h"
#include "tools/capture/frame_reader.h"
#include "tools/capture/private_x_server.h"
#include "window/display_window.h"
#include "window/exit_signals.h"
#include "window/window_geometry.h"

namespace quarbtro::capture {
namespace {


struct Options {
    std::string output;
    FrameRate rate{60, 1};
    int from = 0;
    int to = showEnd();
    bool lossless = false;
    bool headless = false;
};

Options parse(int argc, char** argv) {
    Options options;
    const cli::Taker takeRate = [&options](const char* value) {
        const auto rate = parseFrameRate(value);
        if (!rate) return std::string("takes a rate from 1 to 1000: 60, 29.97 or 60000/1001");
        options.rate = *rate;
        return std::string();
    };
    const cli::Program program{
        "quarbtro-capture",
        "[OPTION]...",
        "Renders the intro offline, frame-exact, as a video with its sound: frame n of N a second\n"
        "shows the clock the intro would read at n / N seconds, and the sound is the intro's song\n"
        "from its start, so picture and sound agree exactly however slow the machine is.",
        {{"output", 'o', "OUT", "the video (default quarbtro.mp4); with --lossless a directory",
          cli::text(options.output)},
         {"fps", 0, "N", "frames a second, 1 to 1000: 60 (default), 25, 29.97, 60000/1001", takeRate},
         {"from", 0, "CS", "first clock, in centiseconds of the intro (default 0)",
          cli::integer(options.from, 0, showEnd(), "centiseconds")},
         {"to", 0, "CS", "clock to stop before (default and at most 4250, the end)",
          cli::integer(options.to, 0, showEnd(), "centiseconds")},
         {"lossless", 0, nullptr, "numbered PNG frames and a WAV file in a directory, no ffmpeg",
          cli::flag(options.lossless)},
         {"headless", 0, nullptr, "draw on a private X server even where a display is available",
          cli::flag(options.headless)}},
        "Without a display, or with --headless, it starts a private headless X server (Xvfb) and\n"
        "stops it afterwards. The output is written under a .partial name and renamed when\n"
        "complete.\n"
        "\n"
        "Exit status: 0 when the capture is complete; 1 when it failed (nothing is left behind);\n"
        "2 for wrong arguments.\n",
    };
    const std::vector<std::string> operands = cli::parseOrExit(program, argc, argv);
    if (!operands.empty()) cli::usageError(program, "unexpected argument " + operands.front());
    if (options.from >= options.to) cli::usageError(program, "--from must come before --to");
    return options;
}

// A directory output takes the name without its .mp4.
std::string directoryFor(const std::string& output) {
    const std::string extension = ".mp4";
    if (output.size() > extension.size() &&
        output.compare(output.size() - extension.size(), extension.size(), extension) == 0)
        return output.substr(0, output.size() - extension.size());
    return output;
}

// Ctrl+C and the other terminating signals are taken on a thread of their own (exit_signals):
// it stops the main thread between two frames, removes the unfinished output and stops the
// private X server, and then the signal ends the process.
std::atomic<bool> interrupted{false};
std::atomic<bool> mainThreadParked{false};
std::atomic<CaptureOutput*> activeOutput{nullptr};
std::atomic<PrivateXServer*> activeServer{nullptr};
std::atomic<bool> glutOpen{false};

void parkIfInterrupted() {
    if (!interrupted) return;
    mainThreadParked = true;
    for (;;) pause();  // every signal is blocked here: only the signal's end comes
}

void stopForSignal() {
    interrupted = true;
    for (int i = 0; i < 300 && !mainThreadParked; ++i) usleep(10'000);
    if (!mainThreadParked) return;  // the kernel still ends the helpers with the process
    if (CaptureOutput* output = activeOutput.load()) output->abandon();
    if (PrivateXServer* server = activeServer.load()) server->stop();
}

[[noreturn]] void fail(const std::string& reason) {
    parkIfInterrupted();  // a helper killed by Ctrl+C is no failure to report
    if (CaptureOutput* output = activeOutput.exchange(nullptr)) output->abandon();
    std::fprintf(stderr, "quarbtro-capture: %s\n", reason.c_str());
    if (PrivateXServer* server = activeServer.exchange(nullptr)) {
        // GLUT's connection goes first: closed at exit, it would find the server gone and
        // Xlib would add a fatal I/O error of its own to the message above.
        if (glutOpen.exchange(false)) glutExit();
        server->stop();
    }
    std::exit(cli::failureStatus);
}

bool displayAvailable() {
    const char* name = std::getenv("DISPLAY");
    return name && *name && DisplayWindow::canConnect(nullptr);
}

// The shell's quit path would end the process in the middle of the capture; the capture never
// draws the end scene's frame, so its firing means the schedule and the capture disagree.
void endSceneFired() {
    fail("the end scene fired at clock " + std::to_string(show.stage.clock) +
         ", before the capture's end");
}

// Scenes fire their enter and leave once, in the first frame that reaches their bounds. A
// capture that starts later than 0 first runs the time line through the frames before its
// first at its rate, drawing, unseen, those in which the time line has an event due: so its
// first frame finds the clear colour, the glow and the scenes' state a whole run would.
void drawEventFramesBefore(std::int64_t firstFrame, FrameRate rate) {
    for (std::int64_t frame = 0; frame < firstFrame; ++frame)
        if (const int clock = clockOfFrame(frame, rate); show.timeLine->eventDueAt(clock))
            frames::drawAt(clock);
}

std::string megabytes(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return "";
    char text[32];
    std::snprintf(text, sizeof text, ", %.1f MB", info.st_size / 1e6);
    return text;
}

int run(int argc, char** argv) {
    restoreVideoModeOnTerminatingSignals(stopForSignal);
    signal(SIGPIPE, SIG_IGN);  // a helper that ends early shows as a failed write
    Options options = parse(argc, argv);
    const CaptureSpan span = captureSpan(options.from, options.to, options.rate, soundRate);

    std::string ffmpeg;
    if (!options.lossless) {
        ffmpeg = findProgram("ffmpeg");
        if (ffmpeg.empty()) {
            std::fprintf(stderr, "quarbtro-capture: ffmpeg (Debian: ffmpeg) is not installed: "
                                 "writing PNG frames and a WAV file instead\n");
            options.lossless = true;
        }
    }
    if (options.output.empty()) options.output = "quarbtro.mp4";
    if (options.lossless) options.output = directoryFor(options.output);

    Sound sound{{}, soundRate};
    std::string problem;
    if (!renderSong(songXm, songXmSize, span.firstSoundFrame, span.endSoundFrame, sound.samples,
                    problem))
        fail(problem);
    parkIfInterrupted();

    PrivateXServer server;
    if (options.headless || !displayAvailable()) {
        activeServer = &server;
        if (!server.start()) fail(server.error());
        setenv("DISPLAY", server.displayName().c_str(), 1);
        std::fprintf(stderr, "quarbtro-capture: drawing on a private headless X server (%s)\n",
                     server.displayName().c_str());
    }
    parkIfInterrupted();

    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    frames::openIntro(&glutArgc, glutArgv);
    glutOpen = true;
    show.stage.quit = endSceneFired;
    if (show.window->width != windowWidth || show.window->height != windowHeight)
        fail("the window is " + std::to_string(show.window->width) + " x " + std::to_string(show.window->height) +
             " rather than 660 x 500 (a window manager may have resized it); --headless draws on a "
             "private X server instead");

    std::unique_ptr<CaptureOutput> output =
        options.lossless
            ? startImageSequenceOutput(options.output, std::move(sound), problem)
            : startMp4Output(ffmpeg, options.output, options.rate, windowWidth, windowHeight,
                             std::move(sound), problem);
    if (!output) fail(problem);
    activeOutput = output.get();

    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    drawEventFramesBefore(span.firstFrame, options.rate);
    Progress progress(span.frameCount(), stderr, isatty(STDERR_FILENO));
    for (std::int64_t frame = span.firstFrame; frame < span.endFrame; ++frame) {
        parkIfInterrupted();
        const frames::Picture picture = frames::drawAt(clockOfFrame(frame, options.rate));
        if (!output->writeFrame(picture)) fail(output->error());
        progress.update(frame - span.firstFrame + 1, elapsed());
    }
    progress.finish();
    parkIfInterrupted();
    if (!output->finish()) fail(output->error());
    activeOutput = nullptr;

    const double seconds = elapsed();
    const double length = span.frameCount() / framesPerSecond(options.rate);
    std::fprintf(stderr,
                 "quarbtro-capture: %s: %lld frames at %s fps (%.2f s) with the sound%s; "
                 "made in %.1f s, %.2f x real time\n",
                 output->path().c_str(), static_cast<long long>(span.frameCount()),
                 toString(options.rate).c_str(), length, megabytes(output->path()).c_str(),
                 seconds, length / seconds);

    tearDown();
    // GLUT closes its connection now rather than at exit, when the server would be gone.
    glutOpen = false;
    glutExit();
    activeServer = nullptr;
    server.stop();
    return 0;
}

}  // namespace
}  // namespace quarbtro::capture

int main(int argc, char** argv) { return quarbtro::capture::run(argc, argv); }
