#include "tools/xm/play_progress.h"

#include <algorithm>

namespace quarbtro {

void PlayProgress::start(std::int64_t written, const std::vector<std::int64_t>& passEnds) {
    start_ = written;
    ends_.clear();
    for (std::int64_t end : passEnds) ends_.push_back(written + end);
    silences_.clear();
    paused_ = false;
}

void PlayProgress::pause(std::int64_t written) {
    if (paused_) return;
    paused_ = true;
    pausedAt_ = written;
}

void PlayProgress::resume(std::int64_t written) {
    if (!paused_) return;
    paused_ = false;
    const std::int64_t length = std::max<std::int64_t>(written - pausedAt_, 0);
    silences_.push_back({pausedAt_, pausedAt_ + length});
    for (std::int64_t& end : ends_)
        if (end > pausedAt_) end += length;
}

int PlayProgress::passesHeard(std::int64_t heard) const {
    return static_cast<int>(std::count_if(ends_.begin(), ends_.end(), [heard](std::int64_t end) { return end <= heard; }));
}

void PlayProgress::move(std::int64_t written, std::int64_t heard, const std::vector<std::int64_t>& passEnds) {
    ends_.resize(static_cast<std::size_t>(passesHeard(heard)));
    for (std::int64_t end : passEnds) ends_.push_back(written + end);
}

bool PlayProgress::over(std::int64_t heard) const { return !ends_.empty() && heard >= ends_.back(); }

std::int64_t PlayProgress::silenceBefore(std::int64_t position) const {
    std::int64_t silence = 0;
    for (const Silence& s : silences_) silence += std::clamp(position, s.from, s.to) - s.from;
    return silence;
}

std::int64_t PlayProgress::elapsed(std::int64_t heard) const {
    // While paused, what was written before the pause is still being heard, then silence.
    const std::int64_t pausedPart = paused_ ? std::max<std::int64_t>(heard - pausedAt_, 0) : 0;
    return std::max<std::int64_t>(heard - start_ - silenceBefore(heard) - pausedPart, 0);
}

std::int64_t PlayProgress::total() const {
    if (ends_.empty()) return -1;
    return ends_.back() - start_ - silenceBefore(ends_.back());
}

}  // namespace quarbtro
