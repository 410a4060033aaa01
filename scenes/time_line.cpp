#include "scenes/time_line.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "scenes/credits.h"
#include "scenes/farewell.h"
#include "scenes/scroller.h"
#include "scenes/tunnel.h"

namespace quarbtro {

namespace {

template <class Scene>
std::unique_ptr<scene> build(const TimeLineRow& row, const SceneResources& resources) {
    return std::make_unique<Scene>(row.start, row.end, resources);
}

constexpr TimeLineRow rows[] = {
    {"tunnel", 1700, 3500, build<ruzidovavire>},
    {"scroller", 220, 1700, build<quarbintro>},
    {"farewell", 4250, 6000, build<endscene>},
    {"credits", 3500, 4000, build<credits>},
};

}  // namespace

std::span<const TimeLineRow> timeLineRows() { return rows; }

const TimeLineRow& timeLineRow(const char* name) {
    for (const TimeLineRow& row : rows)
        if (std::strcmp(row.name, name) == 0) return row;
    // Names are the program's own: asking for another is a programming error.
    std::abort();
}

int showEnd() { return timeLineRow("farewell").start; }

void TimeLine::buildNext(const SceneResources& resources) {
    const TimeLineRow& row = timeLineRows()[scenes.size()];
    scenes.push_back(row.build(row, resources));
}

void TimeLine::draw(Stage& stage) {
    for (const std::unique_ptr<scene>& s : scenes) {
        glPushMatrix();
        s->draw(stage);
        glPopMatrix();
    }
}

bool TimeLine::eventDueAt(int clock) const {
    for (const std::unique_ptr<scene>& s : scenes)
        if (s->eventDueAt(clock)) return true;
    return false;
}

}  // namespace quarbtro
