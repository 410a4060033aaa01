#pragma once
// Starting the helper programs the capture drives (ffmpeg, Xvfb) as child processes.
//
// A child runs in a process group of its own, so that Ctrl+C on the terminal reaches only the
// capture, which then stops its children in its own order; and the kernel sends it a signal
// of our choice should the capture die first (even by SIGKILL), so no child outlives it. Its
// signal mask and dispositions start clean, whatever the capture blocks or ignores.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quarbtro::capture {

// One descriptor of the child: what it gets as childFd, from the parent's parentFd.
struct Descriptor {
    int parentFd;
    int childFd;
};

// Starts argv[0] (a path) with argv. The child's descriptors are exactly those listed (at most
// eight, numbered below 100), and 0, 1 and 2 that are not listed read and write /dev/null. deathSignal reaches the
// child when the capture's main thread ends. Returns the child's process id, or -1 with errno
// set when the fork fails; a program that cannot be executed exits with status 127.
pid_t startChild(const std::vector<std::string>& argv, const std::vector<Descriptor>& descriptors,
                 int deathSignal);

// Waits for a child to end: its exit status, or 128 + n when signal n ended it.
int waitForChild(pid_t child);

// The path of a program found through $PATH, or "" when there is none.
std::string findProgram(const std::string& name);

}  // namespace quarbtro::capture
