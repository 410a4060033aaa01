#include "intro/clock_log.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quarbtro {

namespace {

// write() that never raises SIGPIPE: a FIFO whose reader left gives EPIPE instead of ending
// the process. The signal is blocked on this thread for the call and taken back if it came.
ssize_t writeWithoutSigpipe(int fd, const char* bytes, std::size_t length) {
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    const ssize_t written = ::write(fd, bytes, length);
    const int error = errno;
    if (written < 0 && error == EPIPE && !sigismember(&old, SIGPIPE)) {
        const timespec none = {0, 0};
        sigtimedwait(&pipe, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = error;
    return written;
}

}  // namespace

ClockLog::ClockLog(std::string path, std::FILE* complaints)
    : path_(std::move(path)), complaints_(complaints) {}

ClockLog::~ClockLog() {
    if (fd_ >= 0) ::close(fd_);
}

// Non-blocking: a FIFO without a reader refuses (ENXIO) instead of waiting for one.
bool ClockLog::openIfReadable() {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    if (errno != ENXIO) giveUp(errno);
    return false;
}

void ClockLog::giveUp(int error) {
    std::fprintf(complaints_, "quarbtro: cannot write the clock log %s: %s; it stops here\n", path_.c_str(),
                 std::strerror(error));
    stopped_ = true;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void ClockLog::append(const char* line, std::size_t length) {
    if (stopped_ || (fd_ < 0 && !openIfReadable())) return;
    if (writeWithoutSigpipe(fd_, line, length) >= 0) return;
    if (errno == EAGAIN) {  // a FIFO its reader does not empty fast enough
        if (!droppingReported_)
            std::fprintf(complaints_, "quarbtro: the clock log %s is not read fast enough: lines are dropped\n",
                         path_.c_str());
        droppingReported_ = true;
    } else if (errno == EPIPE) {  // the FIFO's reader went away: wait for the next one
        ::close(fd_);
        fd_ = -1;
    } else {
        giveUp(errno);
    }
}

}  // namespace quarbtro
