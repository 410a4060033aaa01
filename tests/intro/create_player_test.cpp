// Bringing up the intro's music: the embedded song plays on the chosen output, and each
// failure comes back as one line saying what went wrong.

#include "intro/create_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "player/playback.h"

namespace quarbtro {
namespace {

TEST(CreatePlayerTest, TheEmbeddedSongPlaysFromTheStartOnTheNullSink) {
    setenv("QUARBTRO_AUDIO", "null", 1);
    std::string problem;
    const std::unique_ptr<const Module, ModuleRelease> module(createPlayer(problem));
    unsetenv("QUARBTRO_AUDIO");
    ASSERT_NE(module, nullptr) << problem;
    SoundPlayback& playback = introPlayback();
    EXPECT_EQ(playback.output.backend, &nullBackend);
    EXPECT_EQ(module->channelCount, 8);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (heardPosition(introPlayback()).clock < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(heardPosition(playback).clock, 5);
    EXPECT_EQ(getOrderPosition(playback.player, module.get()), 0);
    closePlayback(playback);
    EXPECT_FALSE(playback.threadRunning);
}

TEST(CreatePlayerTest, NoSoundDeviceIsOneLineSayingWhat) {
    if (access("/dev/dsp", F_OK) == 0) GTEST_SKIP() << "this machine has /dev/dsp";
    std::string problem;
    setenv("QUARBTRO_AUDIO", "oss", 1);
    EXPECT_EQ(createPlayer(problem), nullptr);
    EXPECT_EQ(problem, "no sound (QUARBTRO_AUDIO=oss): /dev/dsp: No such file or directory");
    setenv("QUARBTRO_AUDIO", "speakers", 1);
    EXPECT_EQ(createPlayer(problem), nullptr);
    EXPECT_EQ(problem,
              "QUARBTRO_AUDIO=speakers names no sound output: use oss, alsa or null, or alsa:DEVICE or oss:PATH");
    unsetenv("QUARBTRO_AUDIO");
}

TEST(CreatePlayerTest, AnUnloadableSongSaysWhyAndClosesTheOutput) {
    static const char notAModule[] = "Extended module: lower-case m is not the signature";
    setenv("QUARBTRO_AUDIO", "null", 1);
    std::string problem;
    EXPECT_EQ(createPlayerFor(notAModule, sizeof notAModule, problem), nullptr);
    unsetenv("QUARBTRO_AUDIO");
    EXPECT_EQ(problem,
              "the song does not load: not an XM module: it does not begin with \"Extended Module: \"");
    EXPECT_EQ(introPlayback().output.backend, nullptr);
}

}  // namespace
}  // namespace quarbtro
