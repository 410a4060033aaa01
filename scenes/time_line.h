#pragma once
// The show's time line as data: which scene draws when, in centiseconds of audio heard, one row
// each. The rows are in drawing order, which is also the order in which enter and leave fire
// within one frame.

#include <memory>
#include <span>
#include <vector>

#include "scenes/scene.h"

namespace quarbtro {

class Font;
class Texture;
struct Stage;

// What the scenes are built from besides their span; the shell builds it first.
struct SceneResources {
    Font& font;          // the glyph textures every text line draws from
    Texture& sphereMap;  // the second image, sphere-mapped onto the tunnel's ball
};

struct TimeLineRow {
    const char* name;  // what the scene shows
    int start;         // first centisecond drawn
    int end;           // last centisecond drawn (inclusive)
    std::unique_ptr<scene> (*build)(const TimeLineRow& row, const SceneResources& resources);
};

// In drawing order: the tunnel 17.0 to 35.0 s, the scroller 2.2 to 17.0 s, the farewell at
// 42.5 s (its end, 60 s, is never reached: it quits), the credits 35.0 to 40.0 s. Black before
// the scroller, blue between the credits and the farewell.
std::span<const TimeLineRow> timeLineRows();
// The row of that name.
const TimeLineRow& timeLineRow(const char* name);
// Where the show ends: the farewell's start, 4250 centiseconds.
int showEnd();

// The scenes of the rows, built one at a time (each is a step of the start-up), drawn as one.
class TimeLine {
public:
    // Builds the scene of the next row.
    void buildNext(const SceneResources& resources);
    // One pass: every scene in the rows' order, each in a matrix scope of its own; each decides
    // from the stage's clock whether it draws, and fires its enter and leave.
    void draw(Stage& stage);
    // Whether a frame at this clock would fire a scene's enter or leave.
    bool eventDueAt(int clock) const;

    std::vector<std::unique_ptr<scene>> scenes;  // in the rows' order
};

}  // namespace quarbtro
