#pragma once
// The capture's progress on standard error: frames done and total, frames per second and the
// time left. On a terminal, a bar redrawn in place a few times a second; otherwise (a log, a
// CI job) one line per ten percent.

#include <cstdint>
#include <cstdio>
#include <string>

namespace quarbtro::capture {

class Progress {
public:
    Progress(std::int64_t totalFrames, std::FILE* out, bool terminal);
    // `done` frames are finished, `elapsed` seconds after the first one was started.
    void update(std::int64_t done, double elapsed);
    // Ends the bar's line.
    void finish();

    // "1020/2550 frames, 38.2 fps, 0:40 left"; the rate and the time left once known.
    static std::string figures(std::int64_t done, std::int64_t total, double elapsed);

private:
    std::int64_t total_;
    std::FILE* out_;
    bool terminal_;
    bool drawn_ = false;
    double lastDrawn_ = 0;
    std::int64_t tenthsReported_ = 0;
};

}  // namespace quarbtro::capture
