#include "tools/capture/capture_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quarbtro::capture {
namespace {

// What a Progress wrote, through a memory stream.
class Written {
public:
    Written() : file_(open_memstream(&text_, &size_)) {}
    ~Written() {
        std::fclose(file_);
        std::free(text_);
    }
    std::FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        return std::string(text_, size_);
    }

private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

int lines(const std::string& text) {
    int count = 0;
    for (char c : text) count += c == '\n';
    return count;
}

TEST(Progress, FiguresGiveTheRateAndTheTimeLeftOnceKnown) {
    EXPECT_EQ(Progress::figures(0, 2550, 0), "0/2550 frames");
    EXPECT_EQ(Progress::figures(1020, 2550, 40), "1020/2550 frames, 25.5 fps, 1:00 left");
    EXPECT_EQ(Progress::figures(2550, 2550, 85), "2550/2550 frames, 30.0 fps, 0:00 left");
}

TEST(Progress, WithoutATerminalOneLinePerTenPercent) {
    Written out;
    Progress progress(2550, out.file(), false);
    for (int done = 1; done <= 2550; ++done) progress.update(done, done / 30.0);
    progress.finish();
    const std::string text = out.text();
    EXPECT_EQ(lines(text), 10);
    EXPECT_EQ(text.find("quarbtro-capture: 10% (255/2550 frames, 30.0 fps, 1:17 left)\n"), 0u);
    EXPECT_NE(text.find("quarbtro-capture: 100% (2550/2550 frames"), std::string::npos);
}

TEST(Progress, FewerFramesThanTenthsStillEndAtAHundredPercent) {
    Written out;
    Progress progress(3, out.file(), false);
    for (int done = 1; done <= 3; ++done) progress.update(done, done);
    const std::string text = out.text();
    EXPECT_EQ(lines(text), 3);  // 33%, 66%, 100%: each frame crosses a tenth
    EXPECT_NE(text.find("30% (1/3"), std::string::npos);
    EXPECT_NE(text.find("100% (3/3"), std::string::npos);
}

TEST(Progress, OnATerminalOneBarRedrawnInPlaceAndTheLastStateAlwaysShown) {
    Written out;
    Progress progress(100, out.file(), true);
    for (int done = 1; done <= 100; ++done) progress.update(done, done * 0.01);  // one second
    const std::string bar = out.text();
    EXPECT_EQ(lines(bar), 0);
    progress.finish();
    const std::string text = out.text();
    EXPECT_EQ(lines(text), 1);
    // Five redraws a second at most, and the finished state.
    int redraws = 0;
    for (char c : text) redraws += c == '\r';
    EXPECT_LE(redraws, 7);
    const std::string last = text.substr(text.rfind('\r'));
    EXPECT_EQ(last.find("\r[" + std::string(30, '#') + "] 100/100 frames, 100.0 fps, 0:00 left"), 0u);
}

}  // namespace
}  // namespace quarbtro::capture
