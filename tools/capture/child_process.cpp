#include "tools/capture/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdlib>

namespace quarbtro::capture {

namespace {

// Above every descriptor a child is given, so the moves below cannot overwrite each other.
constexpr int parkingFd = 100;
constexpr std::size_t maxDescriptors = 8;

// Between fork and exec only async-signal-safe calls are allowed (the capture has threads).
[[noreturn]] void becomeChild(char* const* argv, const std::vector<Descriptor>& descriptors,
                              int deathSignal, pid_t parent) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signalNumber : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, deathSignal);
    if (getppid() != parent) _exit(127);  // the capture died before the request was made

    // Close-on-exec, so it is gone after exec unless it was copied to 0, 1 or 2.
    const int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
    int parked[maxDescriptors];
    const std::size_t count = std::min(descriptors.size(), std::size(parked));
    for (std::size_t i = 0; i < count; ++i)
        parked[i] = fcntl(descriptors[i].parentFd, F_DUPFD, parkingFd);
    for (int standard = 0; standard <= 2; ++standard) dup2(nullFd, standard);
    int highest = 2;
    for (std::size_t i = 0; i < count; ++i) {
        dup2(parked[i], descriptors[i].childFd);
        highest = std::max(highest, descriptors[i].childFd);
    }
    for (int fd = 3; fd < highest; ++fd) {
        bool given = false;
        for (std::size_t i = 0; i < count; ++i) given = given || descriptors[i].childFd == fd;
        if (!given) close(fd);
    }
    // Everything above: the parked copies and whatever the capture holds open.
    close_range(static_cast<unsigned>(highest) + 1, ~0U, 0);
    execv(argv[0], argv);
    _exit(127);
}

}  // namespace

pid_t startChild(const std::vector<std::string>& argv, const std::vector<Descriptor>& descriptors,
                 int deathSignal) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) becomeChild(arguments.data(), descriptors, deathSignal, parent);
    // Also here, so the group exists before anyone signals it.
    if (child > 0) setpgid(child, child);
    return child;
}

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return 127;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return "";
    const std::string directories = path;
    for (std::size_t start = 0; start <= directories.size();) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        const std::string directory = end > start ? directories.substr(start, end - start) : ".";
        const std::string candidate = directory + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

}  // namespace quarbtro::capture
