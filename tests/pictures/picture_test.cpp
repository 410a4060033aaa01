// The pictures of the time line, drawn by the intro's own frame function under a real X
// server (tests/e2e/pictures.sh starts Xvfb) and read back from the back buffer.
//
// Each test starts the time line afresh and draws its clocks in a run of its own, so the tests
// pass in any order. The window is 660 x 500; while the glow is on, the main pass draws into
// the lower 660 x 480, and the intro's clear colour shows above it.

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "intro/shell.h"
#include "scenes/farewell.h"
#include "scenes/time_line.h"
#include "tools/capture/frame_reader.h"

namespace quarbtro {
namespace {

using frames::Picture;
using frames::Rgb;

bool near(Rgb c, Rgb want, int tolerance = 2) {
    return std::abs(c.r - want.r) <= tolerance && std::abs(c.g - want.g) <= tolerance &&
           std::abs(c.b - want.b) <= tolerance;
}

// Pixels in rows [top, bottom) that satisfy the predicate.
int count(const Picture& p, const std::function<bool(Rgb)>& predicate, int top = 0,
          int bottom = -1) {
    if (bottom < 0) bottom = p.height;
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < p.width; ++x) n += predicate(p.at(x, y));
    return n;
}

const Rgb black{0, 0, 0}, pink{255, 128, 153}, brownRed{77, 26, 0}, blue{0, 0, 255};

bool white(Rgb c) { return c.r >= 240 && c.g >= 240 && c.b >= 240; }
// The cylinder and the tunnel wall: the grey image, unlit or lit with white.
bool grey(Rgb c) {
    return c.r > 40 && c.r < 235 && std::abs(c.r - c.g) <= 8 && std::abs(c.g - c.b) <= 8;
}
// Pink brightened by a glow laid over it.
bool glowingPink(Rgb c) { return c.r >= 250 && c.g >= 136 && c.b >= 161 && !white(c); }
// The intro's ball (brown weave) and the tunnel's ball (orange weave, darkened).
bool brownish(Rgb c) { return c.r > c.b + 30 && c.r < 240 && c.g < 200; }
// The intro's sheet (sand): unlike pink, more green than blue.
bool sandy(Rgb c) { return c.g > c.b + 15 && c.r > c.g && c.r < 250; }

// The top quarter of the picture: the objects pass through it, the scroller never does.
constexpr int topQuarter = 125;

int quitCalls = 0;
void recordQuit() { ++quitCalls; }

// A run of the intro from its first frame. A scene fires its enter and leave once, in the first
// frame at or past its start and end, so what a frame shows depends on the frames before it:
// before each picture, a frame is drawn at every clock since the last one at which the time
// line has an event due, as a run at any frame rate would draw.
class Pictures : public testing::Test {
protected:
    // The time line as before a run's first frame: no scene entered or left, the stage as the
    // shell starts it (the glow on, the clear colour black), the end scene's quit recorded
    // rather than taken.
    void SetUp() override {
        for (const auto& s : show.timeLine->scenes) s->entered = s->left = false;
        show.stage = Stage{};
        show.stage.quit = recordQuit;
        quitCalls = 0;
    }

    Picture drawAt(int clock) {
        for (int t = lastClock + 1; t < clock; ++t)
            if (show.timeLine->eventDueAt(t)) frames::drawAt(t);
        lastClock = clock;
        return frames::drawAt(clock);
    }

    // Runs one frame with descriptor 1 sent to a file; returns what was written there.
    std::string descriptorOneDuring(int clock);

private:
    int lastClock = -1;
};

TEST_F(Pictures, BlackBefore220EvenWithTheGlowRunning) {
    const Picture p = drawAt(100);
    EXPECT_EQ(count(p, [](Rgb c) { return !near(c, black, 0); }), 0);
    EXPECT_TRUE(show.stage.blurEnabled);
}

TEST_F(Pictures, At300PinkWithBrightScrollerGlyphs) {
    const Picture p = drawAt(300);
    EXPECT_TRUE(near(p.at(5, 5), pink));
    EXPECT_TRUE(near(p.at(654, 495), pink));
    EXPECT_GT(count(p, white), 2000);
    EXPECT_EQ(count(p, white, 0, topQuarter), 0);
}

// What the next frame's scenes start from: depth testing and lighting on, blending, texturing
// and scissoring off, texture 0 bound, the main pass's viewport.
TEST_F(Pictures, AfterTheGlowTheStateTheScenesStartFrom) {
    drawAt(320);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    GLint bound = -1, viewport[4] = {};
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 660);
    EXPECT_EQ(viewport[3], 480);
}

TEST_F(Pictures, TheCylinderOnlyStrictlyBetween700And800AndItGlows) {
    const Picture before = drawAt(920);  // e = 700
    EXPECT_EQ(count(before, grey, 0, topQuarter), 0);
    EXPECT_EQ(count(before, glowingPink, 0, topQuarter), 0);

    const Picture during = drawAt(1000);  // e = 780
    EXPECT_GT(count(during, grey, 0, topQuarter), 2000);
    EXPECT_GT(count(during, glowingPink, 0, topQuarter), 500) << "the cylinder's glow";

    const Picture after = drawAt(1020);  // e = 800: neither cylinder nor ball
    EXPECT_EQ(count(after, grey, 0, topQuarter), 0);
    EXPECT_EQ(count(after, brownish, 0, topQuarter), 0);
}

TEST_F(Pictures, TheBallAt1100IsSharp) {
    const Picture p = drawAt(1100);
    EXPECT_GT(count(p, brownish, 0, topQuarter), 1000);
    EXPECT_EQ(count(p, grey, 0, topQuarter), 0);
    EXPECT_EQ(count(p, glowingPink, 0, topQuarter), 0) << "the ball is left out of the glow";
}

TEST_F(Pictures, TheSheetAt1310IsSharp) {
    const Picture p = drawAt(1310);
    EXPECT_GT(count(p, sandy, 0, topQuarter), 1000);
    EXPECT_EQ(count(p, grey, 0, topQuarter), 0);
    EXPECT_EQ(count(p, glowingPink, 0, topQuarter), 0) << "the sheet is left out of the glow";
}

TEST_F(Pictures, At2000TheTexturedTubeOnTheDarkRedBrownBackground) {
    const Picture p = drawAt(2000);
    EXPECT_TRUE(near(p.at(330, 5), brownRed)) << "above the main pass's 480 rows";
    EXPECT_GT(count(p, grey), p.width * p.height / 2);
    EXPECT_FALSE(show.stage.blurEnabled);
}

TEST_F(Pictures, At3450OnlyTheBallAndTheBackground) {
    const Picture p = drawAt(3450);  // e = 1750: the tube's far end is behind the eye
    int left = p.width, right = -1, top = p.height, bottom = -1, ball = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            if (near(p.at(x, y), brownRed)) continue;
            ++ball;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    EXPECT_GT(ball, 100);
    // Everything else is background: what is not lies within the small, distant ball.
    EXPECT_LT(right - left, 150);
    EXPECT_LT(bottom - top, 100);
}

// Separate bands of rows that hold white pixels.
int whiteBands(const Picture& p) {
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < p.height; ++y) {
        bool any = false;
        for (int x = 0; x < p.width && !any; ++x) any = white(p.at(x, y));
        if (any && !inBand) ++bands;
        inBand = any;
    }
    return bands;
}

TEST_F(Pictures, At3700BlueWithTwoGlowingTextLines) {
    const Picture p = drawAt(3700);
    EXPECT_TRUE(near(p.at(5, 5), blue));
    EXPECT_TRUE(show.stage.blurEnabled);
    EXPECT_EQ(whiteBands(p), 2);
    EXPECT_GT(count(p, white), 2000);
    const int glow = count(p, [](Rgb c) { return c.b == 255 && c.r > 20 && c.r < 200; });
    EXPECT_GT(glow, 1000);
}

TEST_F(Pictures, At4100BlueOnly) {
    const Picture p = drawAt(4100);
    EXPECT_EQ(count(p, [](Rgb c) { return !near(c, blue, 0); }), 0);
}

std::string Pictures::descriptorOneDuring(int clock) {
    std::fflush(stdout);
    char path[] = "/tmp/quarbtro-farewell.XXXXXX";
    const int file = mkstemp(path);
    const int saved = dup(1);
    dup2(file, 1);
    drawAt(clock);
    dup2(saved, 1);
    close(saved);
    std::string written;
    char buffer[256];
    lseek(file, 0, SEEK_SET);
    for (ssize_t n; (n = read(file, buffer, sizeof buffer)) > 0;) written.append(buffer, n);
    close(file);
    unlink(path);
    return written;
}

TEST_F(Pictures, At4250TheFarewellAndTheQuitPath) {
    EXPECT_EQ(descriptorOneDuring(4249), "");
    EXPECT_EQ(quitCalls, 0);
    EXPECT_EQ(descriptorOneDuring(4250), farewellLine);
    EXPECT_EQ(quitCalls, 1);
}

}  // namespace
}  // namespace quarbtro

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    quarbtro::frames::openIntro(&argc, argv);
    return RUN_ALL_TESTS();
}
