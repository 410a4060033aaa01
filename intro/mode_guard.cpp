// Runs the intro and puts the video mode back however it ends, even when it cannot do so
// itself: killed with SIGKILL, crashed, or killed together with the guard and everything else
// in its process group (SIGKILL to make run's whole group). The launcher (make run, and the
// installed quarbtro) starts the intro through it.
//   quarbtro-mode-guard [OPTION]... PROGRAM [ARGUMENT...]
// The mode and viewport current at the guard's start are the ones put back, on $DISPLAY.
// SIGINT, SIGTERM, SIGHUP and SIGQUIT sent to the guard go on to the program. The guard ends
// as the program did: with its exit status, or by the same signal.
//
// The putting back is done by a watcher: a process in a session of its own (so that no signal
// sent to the launcher's group or terminal reaches it) that remembers the mode before the
// program starts and holds the read end of a pipe whose write end only the guard and the
// program hold. When both are gone, however they went, the pipe reads end-of-file and the
// watcher puts the mode back where it is no longer current, then exits. The guard, when it
// outlives the program, waits for the watcher before it ends, so that the mode is back by then.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "window/display_window.h"
#include "cli/command_line.h"

namespace {

using quarbtro::DisplayWindow;

const quarbtro::cli::Program program{
    "quarbtro-mode-guard",
    "[OPTION]... PROGRAM [ARGUMENT]...",
    "Runs PROGRAM (the intro) and puts the X video mode and viewport back however it ends, even\n"
    "when it cannot do so itself: killed with SIGKILL, crashed, or killed with its whole process\n"
    "group. The mode and viewport current at the start are the ones put back, on $DISPLAY.",
    {},
    "SIGINT, SIGTERM, SIGHUP and SIGQUIT sent to the guard go on to PROGRAM. The guard ends as\n"
    "PROGRAM did: with its exit status, or by the same signal. Options after PROGRAM are its own.\n"
    "\n"
    "Exit status: PROGRAM's; 1 when it cannot be started (127 when it is not found); 2 for wrong\n"
    "arguments.\n",
    {},
    true,
};

constexpr int forwardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// How long the guard waits for the watcher to remember the mode, and later to put it back.
constexpr int watcherTimeoutMs = 5000;

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

// The watcher's whole life: remember the mode, say whether it could (one byte on `ready`:
// '1' remembered, '0' nothing to guard), wait for end-of-file on `life`, put the mode back.
[[noreturn]] void watch(int life, int ready) {
    setsid();
    // Nothing of the launcher's terminal or pipes: whoever reads the launcher's output must
    // not wait for the watcher.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) close(null);
    }
    for (int signalNumber : forwardedSignals) signal(signalNumber, SIG_IGN);
    const bool remembered = DisplayWindow::rememberVideoMode(nullptr);
    const char answer = remembered ? '1' : '0';
    while (write(ready, &answer, 1) < 0 && errno == EINTR) {
    }
    close(ready);
    if (!remembered) _exit(0);
    char byte;
    while (read(life, &byte, 1) != 0) {
        if (errno != EINTR) break;
    }
    DisplayWindow::restoreRememberedVideoMode();
    _exit(0);
}

// Reads the watcher's one byte, waiting at most watcherTimeoutMs.
bool watcherRemembered(int ready) {
    pollfd waiting = {ready, POLLIN, 0};
    char answer = '0';
    if (poll(&waiting, 1, watcherTimeoutMs) > 0 && read(ready, &answer, 1) != 1) answer = '0';
    return answer == '1';
}

// Waits at most watcherTimeoutMs for the watcher to put the mode back and end.
void awaitWatcher(pid_t watcher) {
    for (int waited = 0; waited < watcherTimeoutMs; waited += 10) {
        if (waitpid(watcher, nullptr, WNOHANG) != 0) return;
        usleep(10000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> operands = quarbtro::cli::parseOrExit(program, argc, argv);
    if (operands.empty()) quarbtro::cli::usageError(program, "no program to run");
    // The program and its arguments: argv's last operands.
    char** command = argv + (argc - static_cast<int>(operands.size()));
    int life[2], ready[2];
    if (pipe(life) != 0 || pipe(ready) != 0) {
        std::perror("quarbtro-mode-guard: pipe");
        return 1;
    }
    // Forked before this process opens any X connection: the watcher makes its own.
    const pid_t watcher = fork();
    if (watcher < 0) {
        std::perror("quarbtro-mode-guard: fork");
        return 1;
    }
    if (watcher == 0) {
        close(life[1]);
        close(ready[0]);
        watch(life[0], ready[1]);
    }
    close(life[0]);
    close(ready[1]);
    // Without a display or the video-mode extension there is nothing to guard; run it anyway.
    const bool guarding = watcherRemembered(ready[0]);
    close(ready[0]);

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
        // The program keeps life[1] open (it is not close-on-exec) until it ends.
        sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        execvp(command[0], command);
        std::fprintf(stderr, "quarbtro-mode-guard: cannot run %s: %s\n", command[0],
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
    close(life[1]);
    if (guarding) awaitWatcher(watcher);
    endAs(status);
}
