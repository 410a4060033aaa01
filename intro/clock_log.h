#pragma once
// The clock log (QUARBTRO_CLOCK_LOG=FILE): one line per frame appended to FILE, written so that
// it never holds up the frame loop, whatever FILE is. A FIFO nobody reads yet is opened again
// at each line until someone does; lines its reader is too slow for are dropped, and one line
// on standard error says so; a reader that goes away is waited for again. A file that cannot
// be written (a full disk, /dev/full) is said once, and the log stops.

#include <cstddef>
#include <cstdio>
#include <string>

namespace quarbtro {

class ClockLog {
public:
    // Opens nothing yet; `complaints` gets the log's own one-line messages.
    explicit ClockLog(std::string path, std::FILE* complaints = stderr);
    ~ClockLog();
    ClockLog(const ClockLog&) = delete;
    ClockLog& operator=(const ClockLog&) = delete;

    // Appends one whole line (at most PIPE_BUF bytes, so a FIFO takes all of it or none).
    void append(const char* line, std::size_t length);

private:
    bool openIfReadable();
    void giveUp(int error);

    std::string path_;
    std::FILE* complaints_;
    int fd_ = -1;
    bool stopped_ = false;           // a write failed for good: no more lines
    bool droppingReported_ = false;  // the reader was told it loses lines
};

}  // namespace quarbtro
