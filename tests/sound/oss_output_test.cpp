// The OSS backend against a simulated /dev/dsp: the four configuration requests and their
// checks, the room asked for before each write, and the queue it reports.

#include <gtest/gtest.h>
#include <sys/soundcard.h>

#include <cerrno>
#include <string>
#include <vector>

#include "sound/oss_output.h"

namespace quarbtro {
namespace {

// A simulated /dev/dsp, the calls' context.
struct Dsp {
    int formatAnswer = -1;  // -1: give back what was asked
    int stereoAnswer = -1;
    int speedAnswer = -1;
    int fragmentAnswer = 0x0008000B;
    bool requestsFail = false;  // every request returns -1 and leaves its argument alone
    bool openFails = false;
    int spaceBytes = 16384;     // SNDCTL_DSP_GETOSPACE's answer; -1: the request fails
    int delayBytes = 0;         // SNDCTL_DSP_GETODELAY's answer; -1: the request fails
    std::vector<unsigned long> requests;
    std::vector<long> writes;   // bytes per write
    int opens = 0, closes = 0, sleeps = 0;
    std::string openedPath;

    OssCalls calls();
};

Dsp& dspOf(void* context) { return *static_cast<Dsp*>(context); }

int answer(int configured, void* argument) {
    if (configured != -1) *static_cast<int*>(argument) = configured;
    return 0;
}

OssCalls Dsp::calls() {
    return {
        this,
        [](void* context, const char* path) {
            Dsp& dsp = dspOf(context);
            dsp.openedPath = path;
            return dsp.openFails ? (errno = ENOENT, -1) : (++dsp.opens, 5);
        },
        [](void* context, int) { ++dspOf(context).closes; },
        [](void* context, int, unsigned long request, void* argument) {
            Dsp& dsp = dspOf(context);
            dsp.requests.push_back(request);
            if (dsp.requestsFail) return -1;
            switch (request) {
                case SNDCTL_DSP_SETFMT: return answer(dsp.formatAnswer, argument);
                case SNDCTL_DSP_STEREO: return answer(dsp.stereoAnswer, argument);
                case SNDCTL_DSP_SPEED: return answer(dsp.speedAnswer, argument);
                case SNDCTL_DSP_SETFRAGMENT: return answer(dsp.fragmentAnswer, argument);
                case SNDCTL_DSP_GETOSPACE:
                    if (dsp.spaceBytes < 0) return -1;
                    static_cast<audio_buf_info*>(argument)->bytes = dsp.spaceBytes;
                    return 0;
                case SNDCTL_DSP_GETODELAY:
                    if (dsp.delayBytes < 0) return -1;
                    *static_cast<int*>(argument) = dsp.delayBytes;
                    return 0;
            }
            return -1;
        },
        [](void*, int, int) { return 1; },
        [](void* context, int, const void*, long count) {
            dspOf(context).writes.push_back(count);
            return count;
        },
        [](void* context, int) {
            Dsp& dsp = dspOf(context);
            ++dsp.sleeps;
            dsp.spaceBytes += 2048;  // a fragment plays while the backend sleeps
        },
    };
}

class OssOutputTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (output.state) ossBackend.close(output);
    }
    bool open(Dsp& dsp, std::int32_t rate = 44100, const char* device = nullptr) {
        return openOssOutput(output, {rate, 2, SampleEncoding::s16LittleEndian}, device, dsp.calls(), error);
    }
    bool open() { return open(device); }
    Dsp device;
    SoundOutput output{};
    OutputError error;
};

TEST_F(OssOutputTest, OpenConfiguresSixteenBitStereoAtTheRateInFragmentsOf2048Bytes) {
    ASSERT_TRUE(open());
    EXPECT_EQ(device.requests, (std::vector<unsigned long>{SNDCTL_DSP_SETFMT, SNDCTL_DSP_STEREO,
                                                           SNDCTL_DSP_SPEED, SNDCTL_DSP_SETFRAGMENT}));
    EXPECT_EQ(output.format.rate, 44100);
    EXPECT_EQ(output.bufferFrames, 4096);  // 8 fragments of 512 frames
}

TEST_F(OssOutputTest, AnyOtherAnswerThanTheOneAskedForClosesTheDevice) {
    struct Case {
        const char* what;
        int Dsp::*answer;
        int value;
    };
    for (const Case& c : {Case{"rate 44,099", &Dsp::speedAnswer, 44099},
                          Case{"rate 48,000", &Dsp::speedAnswer, 48000},
                          Case{"8-bit format", &Dsp::formatAnswer, 8},
                          Case{"mono", &Dsp::stereoAnswer, 0},
                          Case{"fragments of 2^12", &Dsp::fragmentAnswer, 0x0004000C}}) {
        Dsp refusing;
        refusing.*c.answer = c.value;
        EXPECT_FALSE(open(refusing)) << c.what;
        EXPECT_EQ(refusing.opens, 1) << c.what;
        EXPECT_EQ(refusing.closes, 1) << c.what;
        EXPECT_EQ(output.state, nullptr) << c.what;
        EXPECT_NE(error.text.find("/dev/dsp refused"), std::string::npos) << c.what;
    }
}

TEST_F(OssOutputTest, FewerFragmentsOfTheRightSizeAreAccepted) {
    device.fragmentAnswer = 0x0002000B;
    ASSERT_TRUE(open());
    EXPECT_EQ(output.bufferFrames, 1024);
}

TEST_F(OssOutputTest, RequestsThatFailButLeaveTheArgumentAlonePass) {
    device.requestsFail = true;
    EXPECT_TRUE(open());
}

TEST_F(OssOutputTest, AMissingDeviceSaysSo) {
    device.openFails = true;
    EXPECT_FALSE(open());
    EXPECT_EQ(device.openedPath, "/dev/dsp");
    EXPECT_EQ(error.text, "/dev/dsp: No such file or directory");
    EXPECT_FALSE(open(device, 44100, "/dev/dsp1"));
    EXPECT_EQ(device.openedPath, "/dev/dsp1");  // a device named opens instead
    EXPECT_EQ(error.text, "/dev/dsp1: No such file or directory");
}

TEST_F(OssOutputTest, WritesTakeOnlyWhatFitsAndWaitForAWholeFragment) {
    ASSERT_TRUE(open());
    device.spaceBytes = 6000;  // 1,500 frames
    EXPECT_EQ(ossBackend.waitForRoom(output, 100), 1500);
    device.spaceBytes = 1000;  // under a fragment: sleep until one is free
    EXPECT_EQ(ossBackend.waitForRoom(output, 100), 762);  // 3,048 bytes after one sleep
    EXPECT_EQ(device.sleeps, 1);
    device.spaceBytes = 0;
    device.sleeps = 0;
    EXPECT_EQ(ossBackend.waitForRoom(output, 2), 512);
    short samples[2048 * 2] = {};
    EXPECT_EQ(ossBackend.write(output, samples, 700), 700);
    EXPECT_EQ(device.writes.back(), 2800);
}

TEST_F(OssOutputTest, WithoutTheRoomRequestAFragmentIsTakenOnceWritable) {
    ASSERT_TRUE(open());
    device.spaceBytes = -1;
    EXPECT_EQ(ossBackend.waitForRoom(output, 100), 512);
}

TEST_F(OssOutputTest, TheQueueIsTheDelayInFramesAndZeroWhenTheDeviceCannotSay) {
    ASSERT_TRUE(open());
    device.delayBytes = 8192;
    EXPECT_EQ(ossBackend.queued(output), 2048);
    device.delayBytes = -1;
    EXPECT_EQ(ossBackend.queued(output), 0);
}

}  // namespace
}  // namespace quarbtro
