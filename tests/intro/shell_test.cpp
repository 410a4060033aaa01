#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "intro/shell.h"

namespace quarbtro {
namespace {

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { saved = std::cout.rdbuf(output.rdbuf()); }
    void TearDown() override { std::cout.rdbuf(saved); }
    std::ostringstream output;
    std::streambuf* saved = nullptr;
};

int freshClockReading() { return 999; }

TEST_F(KeyboardTest, TPrintsTheClockOfTheLastFrame) {
    show.clockSource = freshClockReading;  // a fresh reading would give 999
    show.stage.clock = 1234;
    keyboard('t', 0, 0);
    keyboard('T', 10, 20);
    EXPECT_EQ(output.str(), "tid: 1234\ntid: 1234\n");
}

TEST_F(KeyboardTest, OtherKeysDoNothing) {
    show.stage.clock = 5;
    for (unsigned char key : {'a', 'q', ' ', '\r', 'x', '\xc8'})
        keyboard(key, 0, 0);
    EXPECT_EQ(output.str(), "");
}

TEST(Arguments, DisplayOptionNamesTheDisplay) {
    char program[] = "quarbtro", option[] = "-display", name[] = ":7", other[] = "-gldebug";
    char* withDisplay[] = {program, other, option, name, nullptr};
    EXPECT_STREQ(displayNameFromArguments(4, withDisplay), ":7");
    char* without[] = {program, other, nullptr};
    EXPECT_EQ(displayNameFromArguments(2, without), nullptr);
    char* dangling[] = {program, option, nullptr};
    EXPECT_EQ(displayNameFromArguments(2, dangling), nullptr);
}

}  // namespace
}  // namespace quarbtro
