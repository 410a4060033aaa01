#pragma once
// A mutex whose holder inherits the priority of the threads waiting for it (POSIX's
// PTHREAD_PRIO_INHERIT). The playback thread runs at a real-time priority where it may, and
// shares a lock with whoever reads the clock at an ordinary priority (the frame loop), who
// holds it while the device's queue is asked. On a loaded machine that reader can be
// preempted while holding it, and the playback thread would wait behind every ordinary thread
// on the processor (a priority inversion: the device's queue ran dry, gaps of up to 0.8 s on
// PulseAudio). With inheritance the reader runs at the waiting thread's priority until it lets
// go. Where the system has no inheritance it is an ordinary mutex. A BasicLockable: it goes
// with std::lock_guard and std::unique_lock.

#include <pthread.h>

#include <system_error>

namespace quarbtro {

class PriorityInheritanceMutex {
public:
    PriorityInheritanceMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        if (pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT) != 0)
            pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_NONE);
        if (pthread_mutex_init(&mutex_, &attributes) != 0) pthread_mutex_init(&mutex_, nullptr);
        pthread_mutexattr_destroy(&attributes);
    }
    ~PriorityInheritanceMutex() { pthread_mutex_destroy(&mutex_); }
    PriorityInheritanceMutex(const PriorityInheritanceMutex&) = delete;
    PriorityInheritanceMutex& operator=(const PriorityInheritanceMutex&) = delete;

    void lock() {
        if (const int error = pthread_mutex_lock(&mutex_); error != 0)
            throw std::system_error(error, std::generic_category(), "pthread_mutex_lock");
    }
    bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
    void unlock() { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};

}  // namespace quarbtro
