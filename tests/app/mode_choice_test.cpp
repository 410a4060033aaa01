#include "app/mode_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarbtro {
namespace {

int choose(std::vector<ModeSize> modes) { return chooseMode(modes); }

TEST(ModeChoice, ListFromLargeToSmallEndsAtTheSmallest) {
    EXPECT_EQ(choose({{1024, 768}, {800, 600}, {640, 480}}), 2);
}

TEST(ModeChoice, SingleModeIsSwitchedToAgain) {
    EXPECT_EQ(choose({{1024, 768}}), 0);
    EXPECT_EQ(choose({}), 0);
}

TEST(ModeChoice, LargerModeAfterSmallerIsSkipped) {
    // 1280x1024 is skipped; 700x500 is then compared with 800x600, the last accepted.
    EXPECT_EQ(choose({{1024, 768}, {800, 600}, {1280, 1024}, {700, 500}}), 3);
}

TEST(ModeChoice, LaterEntriesCompareWithTheLastAcceptedNotWithTheFirst) {
    // 800x600 is smaller than the current mode but not smaller than 640x480.
    EXPECT_EQ(choose({{1024, 768}, {640, 480}, {800, 600}}), 1);
}

TEST(ModeChoice, SmallerInOneDimensionNeverQualifies) {
    EXPECT_EQ(choose({{1024, 768}, {800, 768}, {1024, 600}, {1100, 480}}), 0);
    EXPECT_EQ(choose({{1024, 768}, {1024, 768}}), 0);
}

TEST(ModeChoice, ZeroHeightNeverQualifies) {
    EXPECT_EQ(choose({{1024, 768}, {640, 0}, {800, 600}}), 2);
}

}  // namespace
}  // namespace quarbtro
