// Bringing up the intro's music: the embedded song plays on the chosen output, and each
// failure ends the process with status 1.

#include "intro/create_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "player/playback.h"

namespace quarbtro {
namespace {

TEST(CreatePlayerTest, TheEmbeddedSongPlaysFromTheStartOnTheNullSink) {
    setenv("QUARBTRO_AUDIO", "null", 1);
    Module* module = createPlayer();
    unsetenv("QUARBTRO_AUDIO");
    ASSERT_NE(module, nullptr);
    SoundPlayback& playback = introPlayback();
    EXPECT_EQ(playback.output.backend, &nullBackend);
    EXPECT_EQ(module->channelCount, 8);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (PlaybackClock() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(PlaybackClock(), 5);
    EXPECT_EQ(getOrderPosition(playback.player, module), 0);
    closePlayback(playback);
    EXPECT_FALSE(playback.threadRunning);
    freeModule(module);
}

TEST(CreatePlayerTest, NoSoundDeviceEndsTheProcessWithOneLineSayingWhat) {
    if (access("/dev/dsp", F_OK) == 0) GTEST_SKIP() << "this machine has /dev/dsp";
    setenv("QUARBTRO_AUDIO", "oss", 1);
    EXPECT_EXIT(createPlayer(), ::testing::ExitedWithCode(1),
                "^quarbtro: no sound \\(QUARBTRO_AUDIO=oss\\): /dev/dsp: No such file or directory\n$");
    setenv("QUARBTRO_AUDIO", "speakers", 1);
    EXPECT_EXIT(createPlayer(), ::testing::ExitedWithCode(1),
                "^quarbtro: QUARBTRO_AUDIO=speakers names no sound output: use oss, alsa or null\n$");
    unsetenv("QUARBTRO_AUDIO");
}

TEST(CreatePlayerTest, AnUnloadableSongEndsTheProcessWithoutAMessage) {
    static const char notAModule[] = "Extended module: lower-case m is not the signature";
    setenv("QUARBTRO_AUDIO", "null", 1);
    EXPECT_EXIT(createPlayerFor(notAModule, sizeof notAModule), ::testing::ExitedWithCode(1), "^$");
    unsetenv("QUARBTRO_AUDIO");
}

}  // namespace
}  // namespace quarbtro
