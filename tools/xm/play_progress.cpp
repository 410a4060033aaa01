#include "tools/xm/play_progress.h"

#include <algorithm>

namespace quarbtro {

void PlayProgress::start(std::int64_t written, std::int64_t songTime, const SongPasses& passes,
                         std::int64_t playLimit) {
    passes_ = passes;
    start_ = written;
    limit_ = playLimit;
    anchors_ = {{written, songTime}};
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
    silences_.push_back({pausedAt_, std::max(written, pausedAt_)});
}

std::int64_t PlayProgress::silenceBetween(std::int64_t from, std::int64_t to) const {
    std::int64_t silence = 0;
    for (const Silence& s : silences_) silence += std::max<std::int64_t>(std::min(to, s.to) - std::max(from, s.from), 0);
    // While paused, what was written before the pause is still heard, then silence.
    if (paused_) silence += std::max<std::int64_t>(to - std::max(from, pausedAt_), 0);
    return silence;
}

std::int64_t PlayProgress::passEnd(std::int64_t songTime) const {
    if (songTime < passes_.firstPass || passes_.laterPass <= 0) return passes_.firstPass;
    return passes_.firstPass + ((songTime - passes_.firstPass) / passes_.laterPass + 1) * passes_.laterPass;
}

std::int64_t PlayProgress::total() const {
    if (passes_.count <= 0) return -1;
    return passes_.firstPass + (passes_.count - 1) * passes_.laterPass;
}

std::int64_t PlayProgress::songTime(std::int64_t heard) const {
    const Anchor* anchor = &anchors_.front();
    for (const Anchor& each : anchors_)
        if (each.written <= heard) anchor = &each;
    const std::int64_t time =
        anchor->songTime + std::max<std::int64_t>(heard - anchor->written - silenceBetween(anchor->written, heard), 0);
    return total() < 0 ? std::max<std::int64_t>(time, 0) : std::clamp<std::int64_t>(time, 0, total());
}

void PlayProgress::move(std::int64_t written, std::int64_t heard, std::int64_t framesToPassEnd) {
    anchors_.push_back({written, passEnd(songTime(heard)) - framesToPassEnd});
}

std::int64_t PlayProgress::played(std::int64_t heard) const {
    return std::max<std::int64_t>(heard - start_ - silenceBetween(start_, heard), 0);
}

bool PlayProgress::over(std::int64_t heard) const {
    if (limit_ >= 0 && played(heard) >= limit_) return true;
    if (total() < 0) return false;
    // The last anchor's song time runs on unclamped to the end of the last pass.
    const Anchor& last = anchors_.back();
    return heard >= last.written && last.songTime + (heard - last.written - silenceBetween(last.written, heard)) >= total();
}

}  // namespace quarbtro
