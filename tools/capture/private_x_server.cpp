#include "tools/capture/private_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/capture/child_process.h"

namespace quarbtro::capture {

namespace {

// What Xvfb wrote before it gave up, for the error message.
std::string lastLines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return "";
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, file)) text += buffer;
    std::fclose(file);
    if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
    return text;
}

}  // namespace

bool PrivateXServer::start() {
    const std::string program = findProgram("Xvfb");
    if (program.empty()) {
        error_ = "there is no X display, and Xvfb (Debian: xvfb) is not installed to make one";
        return false;
    }
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    char logPath[] = "/tmp/quarbtro-xvfb-XXXXXX";
    const int log = mkstemp(logPath);
    // Xvfb writes its display number to descriptor 3 once it takes connections.
    std::vector<Descriptor> descriptors{{ready[1], 3}};
    if (log >= 0) {
        descriptors.push_back({log, 1});
        descriptors.push_back({log, 2});
    }
    pid_ = startChild({program, "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
                       "1024x768x24"},
                      descriptors, SIGTERM);
    close(ready[1]);
    if (log >= 0) close(log);

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool ended = pid_ < 0;
    while (!ended && number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{ready[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) == 0) break;
        char buffer[16];
        const ssize_t got = read(ready[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) ended = true;
        else number.append(buffer, static_cast<std::size_t>(got));
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "the headless X server (Xvfb) did not start";
        const std::string output = log >= 0 ? lastLines(logPath) : "";
        if (!output.empty()) error_ += "; it said:\n" + output;
        stop();
    } else {
        displayName_ = ":" + number.substr(0, number.find('\n'));
    }
    if (log >= 0) unlink(logPath);
    return !displayName_.empty();
}

void PrivateXServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitForChild(pid_);
    pid_ = -1;
}

}  // namespace quarbtro::capture
