// The null and WAV sinks, the chooser, and the bounded open.

#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sound/output_choice.h"
#include "sound/sound_output.h"

namespace quarbtro {
namespace {

double seconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

TEST(NullOutput, TakesAQueueFullAtOnceThenPlaysItAtTheRateOfTheClock) {
    SoundOutput output{};
    OutputError error;
    ASSERT_TRUE(openSoundOutput(output, nullBackend, cdFormat, nullptr, error));
    EXPECT_EQ(output.bufferFrames, 4096);
    EXPECT_EQ(nullBackend.queued(output), 0);
    static const short samples[10000 * 2] = {};
    const double before = seconds();
    EXPECT_EQ(nullBackend.write(output, samples, 10000), 4096);  // nothing plays before a write
    const double written = seconds();
    usleep(30000);
    const double asked = seconds();
    const long queued = nullBackend.queued(output);
    const double answered = seconds();
    // What played lies between the time surely elapsed (a loaded machine may sleep past the
    // end of the queue) and the most that can have elapsed.
    const long played = 4096 - queued;
    EXPECT_GE(played, std::min(4096L, static_cast<long>((asked - written) * 44100) - 1));
    EXPECT_LE(played, static_cast<long>((answered - before) * 44100) + 1);
    usleep(120000);  // more than the whole queue lasts
    EXPECT_EQ(nullBackend.queued(output), 0);
    EXPECT_GE(nullBackend.waitForRoom(output, 100), 4096);
    closeSoundOutput(output);
    EXPECT_EQ(output.backend, nullptr);
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(WavOutput, WritesUnderAPartialNameAndNamesTheFileWhenComplete) {
    char directory[] = "/tmp/quarbtro-wav-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string path = std::string(directory) + "/out.wav";
    SoundOutput output{};
    OutputError error;
    ASSERT_TRUE(openSoundOutput(output, wavBackend, cdFormat, path.c_str(), error)) << error.text;
    const short samples[] = {1, -2, 0x1234, -32768};
    EXPECT_EQ(wavBackend.write(output, samples, 2), 2);
    EXPECT_EQ(wavBackend.queued(output), 0);
    EXPECT_NE(access((path + ".partial").c_str(), F_OK), -1);
    EXPECT_EQ(access(path.c_str(), F_OK), -1);
    closeSoundOutput(output);
    EXPECT_EQ(access((path + ".partial").c_str(), F_OK), -1);
    const std::vector<unsigned char> bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 44u + 8);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[40], 8);  // the data chunk's size, completed at close
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 44, bytes.end()),
              (std::vector<unsigned char>{1, 0, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80}));
    std::remove(path.c_str());
    rmdir(directory);
}

TEST(WavOutput, AFileThatCannotBeMadeSaysWhy) {
    SoundOutput output{};
    OutputError error;
    EXPECT_FALSE(openSoundOutput(output, wavBackend, cdFormat, "/nonexistent/out.wav", error));
    EXPECT_EQ(error.text, "/nonexistent/out.wav.partial: No such file or directory");
    EXPECT_EQ(output.backend, nullptr);
}

TEST(OutputChoice, DspWhereItExistsAlsaElseAndANameWins) {
    auto backendOf = [](const char* name, bool dspExists) {
        const auto chosen = soundDeviceNamed(name, dspExists);
        return chosen ? chosen->backend : nullptr;
    };
    EXPECT_EQ(backendOf(nullptr, true), &ossBackend);
    EXPECT_EQ(backendOf("", false), &alsaBackend);
    EXPECT_EQ(backendOf(nullptr, false), &alsaBackend);
    EXPECT_EQ(backendOf("alsa", true), &alsaBackend);
    EXPECT_EQ(backendOf("oss", false), &ossBackend);
    EXPECT_EQ(backendOf("null", true), &nullBackend);
    for (const char* nothing : {"pulse", "wav", "null:x", "alsa:", "alsahw"}) EXPECT_EQ(backendOf(nothing, true), nullptr) << nothing;
}

TEST(OutputChoice, ADeviceOfItsOwnAfterTheBackend) {
    const auto card = soundDeviceNamed("alsa:hw:1,0", false);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->backend, &alsaBackend);
    EXPECT_EQ(card->device, "hw:1,0");
    EXPECT_EQ(soundDeviceNamed("oss:/dev/dsp1", false)->device, "/dev/dsp1");
    EXPECT_EQ(soundDeviceNamed("alsa", false)->device, "");
}

TEST(OutputChoice, TheEnvironmentChooses) {
    SoundOutput output{};
    OutputError error;
    setenv("QUARBTRO_AUDIO", "null", 1);
    EXPECT_TRUE(openChosenOutput(output, cdFormat, error));
    EXPECT_EQ(output.backend, &nullBackend);
    closeSoundOutput(output);
    setenv("QUARBTRO_AUDIO", "speakers", 1);
    EXPECT_FALSE(openChosenOutput(output, cdFormat, error));
    EXPECT_EQ(error.text,
              "QUARBTRO_AUDIO=speakers names no sound output: use oss, alsa or null, or alsa:DEVICE or oss:PATH");
    // A name given (xmplay's -d) wins over the variable.
    EXPECT_FALSE(openChosenOutput(output, cdFormat, error, nullptr, "oss:/nonexistent/dsp"));
    EXPECT_EQ(error.text, "no sound (-d oss:/nonexistent/dsp): /nonexistent/dsp: No such file or directory");
    unsetenv("QUARBTRO_AUDIO");
}

// A backend whose open waits until the test lets it go, as ALSA's open does on a stalled
// PulseAudio server.
std::atomic<bool> releaseOpen{false};
std::atomic<int> stuckOpens{0}, stuckCloses{0};
const SoundBackend stuckBackend = {
    "stuck",
    "the stuck device",
    [](SoundOutput& output, const SoundFormat& wanted, const char*, OutputError&) {
        while (!releaseOpen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        output.format = wanted;
        ++stuckOpens;
        return true;
    },
    nullptr, nullptr, nullptr, nullptr,
    [](SoundOutput&) { ++stuckCloses; },
};

void awaitCount(const std::atomic<int>& count, int value) {
    for (int i = 0; i < 5000 && count < value; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(BoundedOpen, AnOpenThatHangsIsAbandonedAndClosedShouldItEverFinish) {
    releaseOpen = false;
    stuckOpens = stuckCloses = 0;
    SoundOutput output{};
    OutputError error;
    EXPECT_FALSE(openSoundOutput(output, stuckBackend, cdFormat, nullptr, error, nullptr, 200));
    EXPECT_EQ(error.text,
              "the stuck device did not open within 0.2 s (a sound server that has stopped answering?)");
    EXPECT_EQ(output.backend, nullptr);

    const volatile std::sig_atomic_t interrupted = 1;
    EXPECT_FALSE(openSoundOutput(output, stuckBackend, cdFormat, nullptr, error, &interrupted));
    EXPECT_EQ(error.text, "interrupted while opening the device");

    releaseOpen = true;
    awaitCount(stuckCloses, 2);
    EXPECT_EQ(stuckOpens, 2);
    EXPECT_EQ(stuckCloses, 2);
    EXPECT_TRUE(openSoundOutput(output, stuckBackend, cdFormat, nullptr, error));
    EXPECT_EQ(output.backend, &stuckBackend);
    closeSoundOutput(output);
    EXPECT_EQ(stuckCloses, 3);
}

}  // namespace
}  // namespace quarbtro
