#include "tools/capture/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

namespace quarbtro::capture {
namespace {

std::string readAll(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    return text;
}

// Runs a shell line as a child with a pipe on the given descriptor; what it wrote there.
std::string outputOn(int childFd, const std::string& line, int& status) {
    int out[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t child = startChild({"/bin/sh", "-c", line}, {{out[1], childFd}}, SIGKILL);
    close(out[1]);
    const std::string text = readAll(out[0]);
    close(out[0]);
    status = waitForChild(child);
    return text;
}

TEST(ChildProcess, GetsExactlyTheDescriptorsItIsGiven) {
    int status = -1;
    EXPECT_EQ(outputOn(4, "echo on-four >&4", status), "on-four\n");
    EXPECT_EQ(status, 0);
    // A descriptor the parent holds open without close-on-exec is not passed on.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    const std::string probe = "[ -e /proc/self/fd/" + std::to_string(leaked) + " ] && echo open || echo closed";
    EXPECT_EQ(outputOn(1, probe, status), "closed\n");
    close(leaked);
    // Standard input reads /dev/null rather than the parent's.
    EXPECT_EQ(outputOn(1, "cat; echo end", status), "end\n");
}

TEST(ChildProcess, DescriptorsMayBeGivenInAnyOrder) {
    int a[2], b[2];
    ASSERT_EQ(pipe2(a, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(b, O_CLOEXEC), 0);
    // Each one's new number may be the other's old one.
    const pid_t child = startChild({"/bin/sh", "-c", "echo A >&3; echo B >&4"},
                                   {{b[1], 4}, {a[1], 3}}, SIGKILL);
    close(a[1]);
    close(b[1]);
    EXPECT_EQ(readAll(a[0]), "A\n");
    EXPECT_EQ(readAll(b[0]), "B\n");
    EXPECT_EQ(waitForChild(child), 0);
    close(a[0]);
    close(b[0]);
}

TEST(ChildProcess, StartsWithSignalsUnblockedAndInAGroupOfItsOwn) {
    sigset_t terminating, previous;
    sigemptyset(&terminating);
    sigaddset(&terminating, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &terminating, &previous);
    signal(SIGPIPE, SIG_IGN);
    int status = -1;
    const std::string group = outputOn(1, "ps -o pgid= -p $$ | tr -d ' '; kill -TERM $$; echo survived", status);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    signal(SIGPIPE, SIG_DFL);
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_NE(group, std::to_string(getpgrp()) + "\n");
}

TEST(ChildProcess, AProgramThatCannotRunExitsWith127) {
    EXPECT_EQ(waitForChild(startChild({"/nonexistent/program"}, {}, SIGKILL)), 127);
}

TEST(ChildProcess, ProgramsAreFoundThroughPath) {
    const char* saved = std::getenv("PATH");
    const std::string path = saved ? saved : "";
    setenv("PATH", "/nonexistent:/bin:/usr/bin", 1);
    EXPECT_EQ(findProgram("sh"), "/bin/sh");
    EXPECT_EQ(findProgram("no-such-program-here"), "");
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(findProgram("sh"), "");
    setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace quarbtro::capture
