// The time line's semantics, with scenes that record their events instead of drawing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenes/credits.h"
#include "scenes/farewell.h"
#include "scenes/scroller.h"
#include "scenes/tunnel.h"
#include "scenes/scene.h"
#include "scenes/stage.h"

namespace quarbtro {
namespace {

std::vector<std::string> events;

class RecordingScene : public scene {
public:
    RecordingScene(const char* name, int start, int end) : scene(start, end), name(name) {}
    void draw() override {
        if (inactive()) return;
        events.push_back(name + " draw");
    }
    void enter() override {
        events.push_back(name + " enter");
        if (clockAfterEnter >= 0) clock = clockAfterEnter;
    }
    void leave() override { events.push_back(name + " leave"); }
    std::string name;
    int clockAfterEnter = -1;
};

using Events = std::vector<std::string>;

Events drawAt(scene& s, int t) {
    events.clear();
    clock = t;
    s.draw();
    return events;
}

TEST(Schedule, SpansIncludeBothEnds) {
    RecordingScene s("s", 100, 200);
    EXPECT_EQ(drawAt(s, 99), Events{});
    EXPECT_EQ(drawAt(s, 100), (Events{"s enter", "s draw"}));
    EXPECT_EQ(drawAt(s, 150), Events{"s draw"});
    EXPECT_EQ(drawAt(s, 200), Events{"s draw"});
    EXPECT_EQ(drawAt(s, 201), Events{"s leave"});
    EXPECT_EQ(drawAt(s, 202), Events{});
}

TEST(Schedule, EnterAndLeaveFireOnceEachAcrossPasses) {
    RecordingScene s("s", 100, 200);
    drawAt(s, 120);
    // A second pass in the same frame (the blur pass, then the main pass) draws without events.
    EXPECT_EQ(drawAt(s, 120), Events{"s draw"});
    drawAt(s, 300);
    EXPECT_EQ(drawAt(s, 300), Events{});
}

TEST(Schedule, ClockJumpingPastTheSpanFiresBothInOneCallAndNeverDraws) {
    RecordingScene s("s", 100, 200);
    EXPECT_EQ(drawAt(s, 50), Events{});
    EXPECT_EQ(drawAt(s, 250), (Events{"s enter", "s leave"}));
    EXPECT_TRUE(s.entered);
    EXPECT_TRUE(s.left);
}

TEST(Schedule, ClockIsReadAgainAfterEnter) {
    RecordingScene s("s", 100, 200);
    s.clockAfterEnter = 201;
    EXPECT_EQ(drawAt(s, 150), (Events{"s enter", "s leave"}));
}

TEST(Schedule, FlagsAreNeverResetWhenTheClockGoesBack) {
    RecordingScene s("s", 100, 200);
    drawAt(s, 150);
    drawAt(s, 250);
    EXPECT_EQ(drawAt(s, 150), Events{"s draw"});
    EXPECT_EQ(drawAt(s, 250), Events{});
}

// The real time line, in table order: tunnel, intro, end, credits.
struct TimeLine {
    RecordingScene tunnel{"tunnel", ruzidovavire::startTime, ruzidovavire::endTime};
    RecordingScene intro{"intro", quarbintro::startTime, quarbintro::endTime};
    RecordingScene end{"end", endscene::startTime, endscene::endTime};
    RecordingScene credits{"credits", credits::startTime, credits::endTime};
    Events frameAt(int t) {
        events.clear();
        clock = t;
        for (scene* s : {static_cast<scene*>(&tunnel), static_cast<scene*>(&intro),
                         static_cast<scene*>(&end), static_cast<scene*>(&credits)})
            s->draw();
        return events;
    }
};

TEST(TimeLine, SpansInCentiseconds) {
    EXPECT_EQ(quarbintro::startTime, 220);
    EXPECT_EQ(quarbintro::endTime, 1700);
    EXPECT_EQ(ruzidovavire::startTime, 1700);
    EXPECT_EQ(ruzidovavire::endTime, 3500);
    EXPECT_EQ(credits::startTime, 3500);
    EXPECT_EQ(credits::endTime, 4000);
    EXPECT_EQ(endscene::startTime, 4250);
    EXPECT_EQ(endscene::endTime, 6000);
}

TEST(TimeLine, NothingIsDueBefore220) {
    TimeLine line;
    EXPECT_EQ(line.frameAt(0), Events{});
    EXPECT_EQ(line.frameAt(219), Events{});
}

TEST(TimeLine, SharedBoundariesDrawBothScenesInTableOrder) {
    TimeLine line;
    line.frameAt(1000);
    EXPECT_EQ(line.frameAt(1700), (Events{"tunnel enter", "tunnel draw", "intro draw"}));
    EXPECT_EQ(line.frameAt(1701), (Events{"tunnel draw", "intro leave"}));
    EXPECT_EQ(line.frameAt(3500), (Events{"tunnel draw", "credits enter", "credits draw"}));
    EXPECT_EQ(line.frameAt(3501), (Events{"tunnel leave", "credits draw"}));
}

TEST(TimeLine, JumpAcrossTheTunnelFiresItsEventsBeforeTheCreditsEnter) {
    TimeLine line;
    line.frameAt(1600);
    EXPECT_EQ(line.frameAt(3600),
              (Events{"tunnel enter", "tunnel leave", "intro leave", "credits enter",
                      "credits draw"}));
}

TEST(TimeLine, TheEndSceneIsDueAt4250) {
    TimeLine line;
    line.frameAt(4000);
    EXPECT_EQ(line.frameAt(4249), (Events{"credits leave"}));
    EXPECT_EQ(line.frameAt(4250), (Events{"end enter", "end draw"}));
}

}  // namespace
}  // namespace quarbtro
