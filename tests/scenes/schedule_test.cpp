// The time line's semantics, with scenes that record their events instead of drawing.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scenes/scene.h"
#include "scenes/stage.h"
#include "scenes/time_line.h"

namespace quarbtro {
namespace {

std::vector<std::string> events;

class RecordingScene : public scene {
public:
    RecordingScene(const char* name, int start, int end) : scene(start, end), name(name) {}
    void draw(Stage& stage) override {
        if (inactive(stage)) return;
        events.push_back(name + " draw");
    }
    void enter(Stage& stage) override {
        events.push_back(name + " enter");
        if (clockAfterEnter >= 0) stage.clock = clockAfterEnter;
    }
    void leave(Stage&) override { events.push_back(name + " leave"); }
    std::string name;
    int clockAfterEnter = -1;
};

using Events = std::vector<std::string>;

Events drawAt(scene& s, int t) {
    events.clear();
    Stage stage;
    stage.clock = t;
    s.draw(stage);
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

// The real time line's rows, each with a scene that records its events: in table order,
// tunnel, scroller, farewell, credits.
struct RecordedTimeLine {
    RecordedTimeLine() {
        for (const TimeLineRow& row : timeLineRows())
            line.scenes.push_back(std::make_unique<RecordingScene>(row.name, row.start, row.end));
    }
    Events frameAt(int t) {
        events.clear();
        stage.clock = t;
        for (const auto& s : line.scenes) s->draw(stage);
        return events;
    }
    TimeLine line;
    Stage stage;
};

TEST(TimeLine, SpansInCentisecondsInDrawingOrder) {
    const auto rows = timeLineRows();
    ASSERT_EQ(rows.size(), 4u);
    const auto span = [](const TimeLineRow& row) {
        return std::string(row.name) + " " + std::to_string(row.start) + "-" +
               std::to_string(row.end);
    };
    EXPECT_EQ(span(rows[0]), "tunnel 1700-3500");
    EXPECT_EQ(span(rows[1]), "scroller 220-1700");
    EXPECT_EQ(span(rows[2]), "farewell 4250-6000");
    EXPECT_EQ(span(rows[3]), "credits 3500-4000");
    EXPECT_EQ(showEnd(), 4250);
}

TEST(TimeLine, NothingIsDueBefore220) {
    RecordedTimeLine line;
    EXPECT_EQ(line.frameAt(0), Events{});
    EXPECT_EQ(line.frameAt(219), Events{});
}

TEST(TimeLine, SharedBoundariesDrawBothScenesInTableOrder) {
    RecordedTimeLine line;
    line.frameAt(1000);
    EXPECT_EQ(line.frameAt(1700), (Events{"tunnel enter", "tunnel draw", "scroller draw"}));
    EXPECT_EQ(line.frameAt(1701), (Events{"tunnel draw", "scroller leave"}));
    EXPECT_EQ(line.frameAt(3500), (Events{"tunnel draw", "credits enter", "credits draw"}));
    EXPECT_EQ(line.frameAt(3501), (Events{"tunnel leave", "credits draw"}));
}

TEST(TimeLine, JumpAcrossTheTunnelFiresItsEventsBeforeTheCreditsEnter) {
    RecordedTimeLine line;
    line.frameAt(1600);
    EXPECT_EQ(line.frameAt(3600),
              (Events{"tunnel enter", "tunnel leave", "scroller leave", "credits enter",
                      "credits draw"}));
}

TEST(TimeLine, TheEndSceneIsDueAt4250) {
    RecordedTimeLine line;
    line.frameAt(4000);
    EXPECT_EQ(line.frameAt(4249), (Events{"credits leave"}));
    EXPECT_EQ(line.frameAt(4250), (Events{"farewell enter", "farewell draw"}));
}

// A later start (the capture's, the picture tests') draws beforehand only the frames in which
// an event is due: one at each bound, and none once it has fired.
TEST(TimeLine, AnEventIsDueAtEachBoundUntilItFires) {
    RecordedTimeLine line;
    std::vector<int> due;
    for (int t = 0; t <= 6500; ++t)
        if (line.line.eventDueAt(t)) {
            due.push_back(t);
            line.frameAt(t);
        }
    EXPECT_EQ(due, (std::vector<int>{220, 1700, 1701, 3500, 3501, 4001, 4250, 6001}));
}

}  // namespace
}  // namespace quarbtro
