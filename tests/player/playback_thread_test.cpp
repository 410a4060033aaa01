// The sound device's open checks, the audio clock and the playback thread's start and stop,
// against the simulated device.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "player/audio_device.h"
#include "player/player.h"
#include "player/stream.h"
#include "simulated_device.h"
#include "test_song.h"
#include "xm_test_support.h"

namespace quarbtro {
namespace {

class DeviceTest : public SimulatedDeviceTest {
protected:
    void SetUp() override {
        SimulatedDeviceTest::SetUp();
        useMemoryStream();
        audioDevice.bytesWritten = 0;
    }
};

TEST_F(DeviceTest, OpenConfiguresSixteenBitStereoAtTheRate) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(device.requests,
              (std::vector<DeviceRequest>{DeviceRequest::setFormat, DeviceRequest::setStereo,
                                          DeviceRequest::setSpeed, DeviceRequest::setFragment}));
    EXPECT_EQ(devicePlayer.outputRate, 44100);
    EXPECT_EQ(devicePlayer.blockFrames, 2048);
    EXPECT_EQ(devicePlayer.rampLength, 128);
    EXPECT_EQ(devicePlayer.voices[200].index, 200);
    EXPECT_EQ(devicePlayer.voices[200].stepInt, 1u);
    EXPECT_EQ(devicePlayer.voices[7].sample, nullptr);
}

TEST_F(DeviceTest, OpenBeforeTheStreamCallbacksIsRefusedWithoutTouchingTheDevice) {
    registerFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(openAudioDevice(44100), 0);
    EXPECT_EQ(device.opens, 0);
    EXPECT_EQ(audioDevice.audioFd, -1);
}

TEST_F(DeviceTest, OpenFailsWhenTheDeviceCannotBeOpened) {
    device.openFails = true;
    EXPECT_EQ(openAudioDevice(44100), 0);
    EXPECT_EQ(audioDevice.audioFd, -1);
}

TEST_F(DeviceTest, AnyOtherAnswerThanTheOneAskedForClosesTheDevice) {
    struct Case {
        const char* what;
        int SimulatedDevice::*answer;
        int value;
    };
    for (const Case& c : {Case{"rate 44,099", &SimulatedDevice::speedAnswer, 44099},
                          Case{"rate 48,000", &SimulatedDevice::speedAnswer, 48000},
                          Case{"8-bit format", &SimulatedDevice::formatAnswer, 8},
                          Case{"mono", &SimulatedDevice::stereoAnswer, 0},
                          Case{"fragments of 2^12", &SimulatedDevice::fragmentAnswer, 0x0004000C}}) {
        SimulatedDevice refusing;
        refusing.*c.answer = c.value;
        SimulatedDevice::install(refusing);
        EXPECT_EQ(openAudioDevice(44100), 0) << c.what;
        EXPECT_EQ(refusing.opens, 1) << c.what;
        EXPECT_EQ(refusing.closes, 1) << c.what;
        EXPECT_EQ(audioDevice.audioFd, -1) << c.what;
    }
}

TEST_F(DeviceTest, FewerFragmentsOfTheRightSizeAreAccepted) {
    device.fragmentAnswer = 0x0004000B;
    EXPECT_EQ(openAudioDevice(44100), 1);
    SimulatedDevice twoFragments;
    twoFragments.fragmentAnswer = 0x0002000B;
    SimulatedDevice::install(twoFragments);
    EXPECT_EQ(openAudioDevice(44100), 1);
    EXPECT_EQ(twoFragments.closes, 1);  // the first open was closed by the second
}

TEST_F(DeviceTest, RequestsThatFailButLeaveTheArgumentAlonePass) {
    device.requestsFail = true;
    EXPECT_EQ(openAudioDevice(44100), 1);
}

TEST_F(DeviceTest, ClockSubtractsWhatTheDeviceStillHolds) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    EXPECT_EQ(PlaybackClock(), 0);  // before any write
    audioDevice.bytesWritten = 10'000'000;
    device.bytesAccepted = 10'000'000;
    device.seconds = (10'000'000 - 8'192) / 176400.0;  // 8,192 bytes still queued
    EXPECT_EQ(PlaybackClock(), 5'664);
    device.queuedBytesFails = true;  // then every byte written counts as heard
    EXPECT_EQ(PlaybackClock(), 5'668);
}

// A one-channel song at 125 BPM (882 frames per tick) and speed 6 with a note on its first row.
struct PlayingSong {
    TestSong song{1, {64}};
    PlayingSong() {
        song.module.defaultSpeed = 6;
        song.addInstrument(5000);
        song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    }
    Module* module() { return &song.module; }
};

void awaitWrites(SimulatedDevice& device, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (device.writeCount() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(device.writeCount(), count);
}

TEST_F(DeviceTest, TheThreadWritesBlocksCountedBeforeEachWrite) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    PlayingSong playing;
    ASSERT_EQ(startPlayback(playing.module()), 1);
    awaitWrites(device, 3);
    ASSERT_EQ(stopPlayback(playing.module()), 1);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(device.write(i).bytes, 8192);
        EXPECT_EQ(device.write(i).bytesWrittenBefore, 8192 * i);
    }
    // The first block starts with a tick at frame 0, then ticks at 882 and 1,764; 598 frames of
    // the third tick are owed to the next block.
    EXPECT_EQ(device.write(0).samplesLeftInTick, 598);
    EXPECT_EQ(device.write(0).tick, 3);
    EXPECT_EQ(audioDevice.bytesWritten, 8192u * device.writeCount());
}

TEST_F(DeviceTest, StopEndsTheThreadAndFreesTheMixBuffer) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    PlayingSong playing;
    startPlayback(playing.module());
    awaitWrites(device, 1);
    EXPECT_EQ(stopPlayback(playing.module()), 1);
    EXPECT_EQ(audioDevice.threadExited, 1);
    EXPECT_FALSE(audioDevice.hasPlaybackThread);
    EXPECT_EQ(devicePlayer.mixBuffer, nullptr);
    EXPECT_EQ(devicePlayer.currentModule, nullptr);
    const std::size_t writes = device.writeCount();
    usleep(20000);
    EXPECT_EQ(device.writeCount(), writes);
    EXPECT_EQ(audioDevice.audioFd, 77);  // the device stays open
    EXPECT_EQ(stopPlayback(playing.module()), 1);  // a second stop finds nothing to free
}

TEST_F(DeviceTest, StopRightAfterStartWaitsForTheNewThread) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    PlayingSong playing;
    for (int i = 0; i < 50; ++i) {
        startPlayback(playing.module());
        stopPlayback(playing.module());
        ASSERT_EQ(audioDevice.threadExited, 1);
        ASSERT_FALSE(audioDevice.hasPlaybackThread);
        ASSERT_EQ(devicePlayer.mixBuffer, nullptr);
    }
}

TEST_F(DeviceTest, StartAgainRestartsTheSongFromOrderZero) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    PlayingSong playing;
    playing.song.module.defaultSpeed = 1;  // a row per tick: 64 rows in under 30 blocks
    startPlayback(playing.module());
    awaitWrites(device, 20);
    const std::size_t before = device.writeCount();
    EXPECT_GT(device.write(before - 1).row, 10);
    startPlayback(playing.module());
    awaitWrites(device, before + 2);
    stopPlayback(playing.module());
    bool restarted = false;
    for (std::size_t i = before; i < device.writeCount() && !restarted; ++i)
        restarted = device.write(i).row <= 3 && device.write(i).orderPosition == 0;
    EXPECT_TRUE(restarted);
}

TEST_F(DeviceTest, NullModulesAreRefused) {
    EXPECT_EQ(startPlayback(nullptr), 0);
    EXPECT_EQ(stopPlayback(nullptr), 0);
}

TEST_F(DeviceTest, StopWithoutAThreadFreesTheMixBuffer) {
    configureOutput(devicePlayer, 44100);
    PlayingSong playing;
    ASSERT_EQ(beginPlayback(devicePlayer, playing.module()), 1);
    ASSERT_NE(devicePlayer.mixBuffer, nullptr);
    EXPECT_EQ(stopPlayback(playing.module()), 1);
    EXPECT_EQ(devicePlayer.mixBuffer, nullptr);
    EXPECT_EQ(devicePlayer.currentModule, nullptr);
}

TEST_F(DeviceTest, FreeingAnotherModuleLeavesThePlayingOneAlone) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    PlayingSong playing;
    startPlayback(playing.module());
    Module* other = static_cast<Module*>(std::calloc(1, sizeof(Module)));
    EXPECT_EQ(freeModule(other), 1);
    EXPECT_FALSE(audioDevice.threadExited);
    awaitWrites(device, 2);
    stopPlayback(playing.module());
}

TEST_F(DeviceTest, FreeingThePlayingModuleStopsIt) {
    ASSERT_EQ(openAudioDevice(44100), 1);
    Module* module = testing::loadBytes(writeXm(testing::smallSong().module())).release();
    ASSERT_NE(module, nullptr);
    startPlayback(module);
    awaitWrites(device, 2);
    EXPECT_EQ(freeModule(module), 1);
    EXPECT_TRUE(audioDevice.threadExited);
    EXPECT_FALSE(audioDevice.hasPlaybackThread);
    EXPECT_EQ(devicePlayer.currentModule, nullptr);
    EXPECT_EQ(devicePlayer.mixBuffer, nullptr);
}

}  // namespace
}  // namespace quarbtro
