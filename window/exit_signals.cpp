#include "exit_signals.h"

#include <pthread.h>
#include <signal.h>

#include "display_window.h"

namespace quarbtro {

namespace {

sigset_t terminatingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void (*actionBeforeRestoring)() = nullptr;

void* waitForTerminatingSignal(void*) {
    const sigset_t set = terminatingSignals();
    int signalNumber = 0;
    while (sigwait(&set, &signalNumber) != 0) {
    }
    if (actionBeforeRestoring) actionBeforeRestoring();
    DisplayWindow::restoreVideoMode();
    // End the process through the signal itself, so the parent sees what killed it.
    signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    return nullptr;
}

}  // namespace

void restoreVideoModeOnTerminatingSignals(void (*beforeRestoring)()) {
    actionBeforeRestoring = beforeRestoring;
    const sigset_t set = terminatingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, waitForTerminatingSignal, nullptr) == 0)
        pthread_detach(thread);
    else
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace quarbtro
