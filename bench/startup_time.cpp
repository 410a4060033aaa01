// Times a program's start-up from outside, from the exec to its first swapped frame:
//   startup-time PROGRAM [ARGUMENT...]
// The program runs with a pipe on the descriptor $QUARBTRO_BENCH_REPORT_FD, on which it (or
// the first-swap shim preloaded into it) writes lines "MARK NANOSECONDS" (CLOCK_MONOTONIC).
// The line "first-swap" ends the wait: the program is then ended with SIGTERM, and every mark
// is printed as "MARK MILLISECONDS_SINCE_EXEC MILLISECONDS_SINCE_PREVIOUS_MARK", the exec
// being the moment just before it. Lines
// "MARK = MILLISECONDS" are durations measured on their own and are printed as they are.
// Exit status 1 when no first swap comes within 30 seconds.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

std::int64_t nowNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    int report[2];
    if (pipe(report) != 0) return 1;
    fcntl(report[0], F_SETFD, FD_CLOEXEC);
    setenv("QUARBTRO_BENCH_REPORT_FD", std::to_string(report[1]).c_str(), 1);

    const std::int64_t deadline = nowNanoseconds() + 30 * 1000000000LL;
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        const std::string exec = "exec " + std::to_string(nowNanoseconds()) + "\n";
        if (write(report[1], exec.data(), exec.size()) < 0) _exit(127);
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    close(report[1]);

    std::string received;
    bool swapped = false;
    while (!swapped && nowNanoseconds() < deadline) {
        pollfd ready = {report[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t count = read(report[0], buffer, sizeof buffer);
        if (count <= 0) break;  // the program is gone
        received.append(buffer, static_cast<size_t>(count));
        const size_t mark = received.find("\nfirst-swap ");
        swapped = mark != std::string::npos && received.find('\n', mark + 1) != std::string::npos;
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!swapped) {
        std::fprintf(stderr, "startup-time: no first swapped frame from %s\n", argv[1]);
        return 1;
    }

    // The child's first line is its own "exec" mark, written just before the exec.
    std::istringstream lines(received);
    std::string mark, value;
    std::int64_t execAt = 0, previous = 0;
    while (lines >> mark >> value) {
        if (value == "=") {
            lines >> value;
            std::printf("%s = %s\n", mark.c_str(), value.c_str());
            continue;
        }
        const std::int64_t at = std::stoll(value);
        if (mark == "exec") {
            execAt = previous = at;
            continue;
        }
        std::printf("%s %.2f %.2f\n", mark.c_str(), (at - execAt) / 1e6, (at - previous) / 1e6);
        previous = at;
    }
}
