// Runs the intro and puts the video mode back should it die by a signal without having done so
// itself: SIGKILL, or a crash. The launcher (make run) starts the intro through it.
//   quarbtro-mode-guard PROGRAM [ARGUMENT...]
// The mode and viewport current at the guard's start are the ones put back, on $DISPLAY.
// SIGINT, SIGTERM, SIGHUP and SIGQUIT sent to the guard go on to the program. The guard ends
// as the program did: with its exit status, or by the same signal.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/display_window.h"

namespace {

constexpr int forwardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t programPid = 0;

void forwardToProgram(int signalNumber) {
    if (programPid > 0) kill(programPid, signalNumber);
}

sigset_t forwardedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : forwardedSignals) sigaddset(&set, signalNumber);
    return set;
}

// Ends the guard the way the program ended.
[[noreturn]] void endAs(int status) {
    if (!WIFSIGNALED(status)) _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    const int signalNumber = WTERMSIG(status);
    // The program's crash is reported by the same signal; the guard leaves no core of its own.
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // a signal whose default action is not to end the process
}

}  // namespace

int main(int argc, char** argv) {
    using quarbtro::DisplayWindow;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    // Without a display or the video-mode extension there is nothing to guard; run it anyway.
    const bool remembered = DisplayWindow::rememberVideoMode(nullptr);

    // Blocked across the fork, so that no signal finds the guard without its forwarding.
    const sigset_t forwarded = forwardedSet();
    sigset_t previousMask;
    sigprocmask(SIG_BLOCK, &forwarded, &previousMask);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("quarbtro-mode-guard: fork");
        return 1;
    }
    if (pid == 0) {
        sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        execvp(argv[1], argv + 1);
        std::fprintf(stderr, "quarbtro-mode-guard: cannot run %s: %s\n", argv[1],
                     std::strerror(errno));
        _exit(127);
    }
    programPid = pid;
    struct sigaction action {};
    action.sa_handler = forwardToProgram;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : forwardedSignals) sigaction(signalNumber, &action, nullptr);
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("quarbtro-mode-guard: waitpid");
            return 1;
        }
    }
    if (remembered && WIFSIGNALED(status)) DisplayWindow::restoreRememberedVideoMode();
    endAs(status);
}
