// Bringing up the intro's music against the simulated device: the embedded song plays, and
// each failure ends the process with status 1 and no message of its own.

#include "player/create_player.h"

#include <gtest/gtest.h>

#include "player/audio_device.h"
#include "player/stream.h"
#include "simulated_device.h"

namespace quarbtro {
namespace {

class CreatePlayerTest : public SimulatedDeviceTest {
protected:
    void SetUp() override {
        SimulatedDeviceTest::SetUp();
        registerFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    }
};

TEST_F(CreatePlayerTest, TheEmbeddedSongPlaysFromTheStart) {
    audioDevice.bytesWritten = 12345;  // counting starts again at creation
    Module* module = createPlayer();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(module->channelCount, 8);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (device.writeCount() < 2 && std::chrono::steady_clock::now() < deadline) usleep(1000);
    ASSERT_GE(device.writeCount(), 2u);
    EXPECT_EQ(device.write(0).bytesWrittenBefore, 0u);
    EXPECT_EQ(device.write(0).orderPosition, 0);
    stopPlayback(module);
    freeModule(module);
}

TEST_F(CreatePlayerTest, NoDeviceEndsTheProcessBeforeLoading) {
    device.openFails = true;
    device.logToStderr = true;
    EXPECT_EXIT(createPlayer(), ::testing::ExitedWithCode(1), "^\\[device open\\]\n$");
}

TEST_F(CreatePlayerTest, AnUnloadableSongClosesTheDeviceAndEndsTheProcess) {
    static const char notAModule[] = "Extended module: lower-case m is not the signature";
    device.logToStderr = true;
    EXPECT_EXIT(createPlayerFor(notAModule, sizeof notAModule), ::testing::ExitedWithCode(1),
                "^\\[device open\\]\n\\[device close\\]\n$");
}

}  // namespace
}  // namespace quarbtro
