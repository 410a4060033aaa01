#include "window/mode_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarbtro {
namespace {

// The mode lists as Xorg offers them (x11-probe modes) with the dummy driver set up as the
// monitors in tests/lib/xorg-*.conf: the current mode first, then the server's order.
const std::vector<ModeSize> monitor1920x1080 = {
    {1920, 1080, 60.00}, {1680, 1050, 59.95}, {1400, 1050, 74.76}, {1400, 1050, 59.98},
    {1600, 900, 59.95},  {1280, 1024, 75.02}, {1280, 1024, 60.02}, {1400, 900, 59.96},
    {1280, 960, 60.00},  {1368, 768, 59.88},  {1280, 800, 59.81},  {1152, 864, 75.00},
    {1280, 720, 59.86},  {1024, 768, 75.03},  {1024, 768, 70.07},  {1024, 768, 60.00},
    {1024, 576, 59.90},  {832, 624, 74.55},   {960, 540, 59.63},   {800, 600, 72.19},
    {800, 600, 75.00},   {800, 600, 60.32},   {800, 600, 56.25},   {864, 486, 59.92},
    {640, 480, 75.00},   {640, 480, 72.81},   {640, 480, 59.94},
};
const std::vector<ModeSize> monitor2560x1440 = {
    {2560, 1440, 59.95}, {1920, 1440, 75.00}, {1920, 1440, 60.00}, {1856, 1392, 75.00},
    {1856, 1392, 60.01}, {1792, 1344, 75.00}, {1792, 1344, 60.01}, {2048, 1152, 59.90},
    {2048, 1152, 59.91}, {1920, 1200, 59.88}, {1920, 1200, 59.95}, {1920, 1080, 59.96},
    {1920, 1080, 59.93}, {1600, 1200, 85.00}, {1600, 1200, 75.00}, {1600, 1200, 70.00},
    {1600, 1200, 65.00}, {1600, 1200, 60.00}, {1680, 1050, 59.95}, {1680, 1050, 59.88},
    {1400, 1050, 74.76}, {1400, 1050, 59.98}, {1600, 900, 59.95},  {1600, 900, 59.82},
    {1280, 1024, 85.02}, {1280, 1024, 75.02}, {1280, 1024, 60.02}, {1400, 900, 59.96},
    {1400, 900, 59.88},  {1280, 960, 85.00},  {1280, 960, 60.00},  {1368, 768, 59.88},
    {1368, 768, 59.85},  {1280, 800, 59.81},  {1280, 800, 59.91},  {1152, 864, 75.00},
    {1280, 720, 59.86},  {1280, 720, 59.74},  {1024, 768, 85.00},  {1024, 768, 75.03},
    {1024, 768, 70.07},  {1024, 768, 60.00},  {1024, 576, 59.90},  {1024, 576, 59.82},
    {832, 624, 74.55},   {960, 540, 59.63},   {960, 540, 59.82},   {800, 600, 85.14},
    {800, 600, 72.19},   {800, 600, 75.00},   {800, 600, 60.32},   {800, 600, 56.25},
    {864, 486, 59.92},   {864, 486, 59.57},   {640, 480, 85.01},   {640, 480, 75.00},
    {640, 480, 72.81},   {640, 480, 59.94},   {720, 400, 85.04},   {640, 400, 85.08},
    {640, 350, 85.08},
};
const std::vector<ModeSize> laptop1366x768 = {
    {1366, 768, 60.04}, {1280, 720, 59.86}, {1280, 720, 59.74}, {1024, 768, 85.00},
    {1024, 768, 75.03}, {1024, 768, 70.07}, {1024, 768, 60.00}, {1024, 576, 59.90},
    {1024, 576, 59.82}, {832, 624, 74.55},  {960, 540, 59.63},  {960, 540, 59.82},
    {800, 600, 85.14},  {800, 600, 72.19},  {800, 600, 75.00},  {800, 600, 60.32},
    {800, 600, 56.25},  {864, 486, 59.92},  {864, 486, 59.57},  {640, 480, 85.01},
    {640, 480, 75.00},  {640, 480, 72.81},  {640, 480, 59.94},  {720, 405, 59.51},
    {720, 405, 58.99},  {720, 400, 85.04},  {640, 400, 85.08},  {640, 360, 59.84},
    {640, 360, 59.32},  {640, 350, 85.08},  {512, 384, 120.01}, {400, 300, 112.68},
    {320, 240, 120.13},
};

ModeSize chosen(const std::vector<ModeSize>& modes) {
    const int index = chooseMode(modes, 640, 480);
    return index < 0 ? ModeSize{0, 0, 0} : modes[index];
}

// Where a chain of ever smaller modes ended below the picture (720x400, 320x240), the choice
// is the picture's size, at the refresh nearest the monitor's own.
TEST(ModeChoice, RealListsGiveThePictureSizeAtTheMonitorsRefresh) {
    for (const auto* list : {&monitor1920x1080, &monitor2560x1440, &laptop1366x768}) {
        const ModeSize mode = chosen(*list);
        EXPECT_EQ(mode.hdisplay, 640);
        EXPECT_EQ(mode.vdisplay, 480);
        EXPECT_DOUBLE_EQ(mode.refresh, 59.94);
    }
}

TEST(ModeChoice, SmallestModeThatHoldsThePictureWhateverTheOrder) {
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1024, 768, 60}, {800, 600, 60}, {640, 480, 60}},
                         640, 480),
              2);
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1024, 768, 60}, {640, 480, 60}, {800, 600, 60}},
                         640, 480),
              1);
    // Without 640x480 the next larger that holds it: fewer pixels wins, not the chain's end.
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1024, 768, 60}, {800, 600, 60}, {720, 400, 70},
                                               {720, 480, 60}, {640, 512, 60}},
                         640, 480),
              4);
}

TEST(ModeChoice, NothingHoldsThePicture) {
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{}, 640, 480), -1);
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{640, 400, 70}, {512, 384, 60}, {1024, 0, 60}},
                         640, 480),
              -1);
    // Wide enough or high enough is not enough.
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1024, 400, 60}, {600, 800, 60}}, 640, 480), -1);
}

TEST(ModeChoice, CurrentModeWhenItIsTheSmallestThatHolds) {
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{640, 480, 60}, {640, 480, 75}, {512, 384, 60}},
                         640, 480),
              0);
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{800, 600, 60}, {1024, 768, 60}}, 640, 480), 0);
}

TEST(ModeChoice, EqualSizesTakeTheRefreshNearestTheCurrentThenTheFirst) {
    // Current at 75 Hz: 640x480 at 72.81 is nearer than at 59.94.
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1280, 1024, 75.02}, {640, 480, 59.94},
                                               {640, 480, 72.81}, {640, 480, 85.0}},
                         640, 480),
              2);
    EXPECT_EQ(chooseMode(std::vector<ModeSize>{{1024, 768, 60}, {640, 480, 0}, {640, 480, 0}},
                         640, 480),
              1);
}

}  // namespace
}  // namespace quarbtro
