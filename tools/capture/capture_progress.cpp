#include "tools/capture/capture_progress.h"

#include <cmath>

namespace quarbtro::capture {

namespace {

constexpr int barWidth = 30;
constexpr double redrawInterval = 0.2;  // seconds between two redraws of the bar

std::string minutesAndSeconds(double seconds) {
    const long long whole = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

}  // namespace

Progress::Progress(std::int64_t totalFrames, std::FILE* out, bool terminal)
    : total_(totalFrames), out_(out), terminal_(terminal) {}

std::string Progress::figures(std::int64_t done, std::int64_t total, double elapsed) {
    char text[96];
    std::snprintf(text, sizeof text, "%lld/%lld frames", static_cast<long long>(done),
                  static_cast<long long>(total));
    std::string line = text;
    if (done > 0 && elapsed > 0) {
        const double rate = done / elapsed;
        std::snprintf(text, sizeof text, ", %.1f fps, %s left", rate,
                      minutesAndSeconds((total - done) / rate).c_str());
        line += text;
    }
    return line;
}

void Progress::update(std::int64_t done, double elapsed) {
    if (total_ <= 0) return;
    if (terminal_) {
        if (done < total_ && drawn_ && elapsed - lastDrawn_ < redrawInterval) return;
        lastDrawn_ = elapsed;
        drawn_ = true;
        const int filled = static_cast<int>(done * barWidth / total_);
        // Trailing spaces wipe what a longer line left behind.
        std::fprintf(out_, "\r[%s%s] %s   ", std::string(filled, '#').c_str(),
                     std::string(barWidth - filled, ' ').c_str(),
                     figures(done, total_, elapsed).c_str());
        std::fflush(out_);
        return;
    }
    const std::int64_t tenths = done * 10 / total_;
    if (tenths <= tenthsReported_) return;
    tenthsReported_ = tenths;
    std::fprintf(out_, "quarbtro-capture: %lld%% (%s)\n", static_cast<long long>(tenths * 10),
                 figures(done, total_, elapsed).c_str());
    std::fflush(out_);
}

void Progress::finish() {
    if (terminal_ && drawn_) std::fprintf(out_, "\n");
}

}  // namespace quarbtro::capture
