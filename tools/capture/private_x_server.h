#pragma once
// A headless X server (Xvfb) started for the capture's own use where no display is available:
// on a display number it picks itself (-displayfd), reachable only through its local socket,
// stopped by stop() or by the capture's exit, and by the kernel should the capture die first.

#include <sys/types.h>

#include <string>

namespace quarbtro::capture {

class PrivateXServer {
public:
    // Starts Xvfb and waits (at most ten seconds) until it takes connections. On success the
    // display name (":N") is in displayName(); on failure error() says why.
    bool start();
    // Ends the server and waits for it; does nothing when none runs.
    void stop();
    ~PrivateXServer() { stop(); }

    const std::string& displayName() const { return displayName_; }
    const std::string& error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string displayName_;
    std::string error_;
};

}  // namespace quarbtro::capture
