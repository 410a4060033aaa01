#pragma once
// The terminating signals (SIGINT, SIGTERM, SIGHUP) are taken by a thread of their own, which
// puts the video mode back and then lets the signal end the process as it normally would.
// A signal thread rather than a handler: restoring the mode means talking to the X server,
// which a signal handler must not do, and it works even while the main thread is busy.

namespace quarbtro {

// Must run before any other thread exists (GL drivers start threads of their own), so that
// every thread inherits the blocked signals. beforeRestoring, when given, runs first on the
// signal thread (the capture tool stops its helpers there).
void restoreVideoModeOnTerminatingSignals(void (*beforeRestoring)() = nullptr);

}  // namespace quarbtro
