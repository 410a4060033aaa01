#include "tools/capture/capture_timing.h"

#include <gtest/gtest.h>

namespace quarbtro::capture {
namespace {

FrameRate rate(const char* text) { return parseFrameRate(text).value(); }

TEST(FrameRateText, WholeFractionalAndDecimalRatesReduce) {
    EXPECT_EQ(rate("60").frames, 60);
    EXPECT_EQ(rate("60").seconds, 1);
    EXPECT_EQ(rate("60000/1001").frames, 60000);
    EXPECT_EQ(rate("60000/1001").seconds, 1001);
    EXPECT_EQ(rate("120/2").frames, 60);
    EXPECT_EQ(rate("120/2").seconds, 1);
    EXPECT_EQ(rate("29.97").frames, 2997);
    EXPECT_EQ(rate("29.97").seconds, 100);
    EXPECT_EQ(rate("25.0").frames, 25);
    EXPECT_EQ(rate("25.0").seconds, 1);
    EXPECT_EQ(toString(rate("60")), "60");
    EXPECT_EQ(toString(rate("60000/1001")), "60000/1001");
}

TEST(FrameRateText, RefusesWhatIsNotARateFromOneToAThousand) {
    for (const char* text : {"", "0", "0/1", "60/0", "1/2", "0.5", "1001", "2000/1", "-60", "+60",
                             "60fps", "6e1", "60.", ".", "/", "60/", "/1001", "1.2.3",
                             "10000000000/1"})
        EXPECT_FALSE(parseFrameRate(text)) << '"' << text << '"';
    EXPECT_TRUE(parseFrameRate("1"));
    EXPECT_TRUE(parseFrameRate("1000"));
}

TEST(CaptureClock, FrameNShowsTheFloorOfNTimesAHundredOverTheRate) {
    const FrameRate sixty = rate("60");
    EXPECT_EQ(clockOfFrame(0, sixty), 0);
    EXPECT_EQ(clockOfFrame(1, sixty), 1);    // 1.67
    EXPECT_EQ(clockOfFrame(2, sixty), 3);    // 3.33
    EXPECT_EQ(clockOfFrame(3, sixty), 5);
    EXPECT_EQ(clockOfFrame(2549, sixty), 4248);
    EXPECT_EQ(clockOfFrame(2550, sixty), 4250);
    const FrameRate ntsc = rate("60000/1001");
    EXPECT_EQ(clockOfFrame(1, ntsc), 1);     // 1.668
    EXPECT_EQ(clockOfFrame(2547, ntsc), 4249);
    EXPECT_EQ(clockOfFrame(2548, ntsc), 4250);  // 4250.9
    EXPECT_EQ(clockOfFrame(50, rate("10")), 500);
}

TEST(CaptureClock, TheFirstFrameAtAClockIsTheFirstToShowIt) {
    for (const char* text : {"60", "60000/1001", "29.97", "10", "7", "1000"}) {
        const FrameRate r = rate(text);
        for (int clock : {0, 1, 220, 1700, 3500, 4249, 4250}) {
            const std::int64_t frame = firstFrameAt(clock, r);
            EXPECT_GE(clockOfFrame(frame, r), clock) << text << " at " << clock;
            if (frame > 0) {
                EXPECT_LT(clockOfFrame(frame - 1, r), clock) << text << " at " << clock;
            }
        }
    }
    EXPECT_EQ(firstFrameAt(4250, rate("60")), 2550);
    EXPECT_EQ(firstFrameAt(4250, rate("60000/1001")), 2548);
}

TEST(CaptureSpan, TheShortCaptureIsFiftyFramesAndFiveSecondsOfSound) {
    const CaptureSpan span = captureSpan(0, 500, rate("10"), 44100);
    EXPECT_EQ(span.firstFrame, 0);
    EXPECT_EQ(span.endFrame, 50);
    EXPECT_EQ(span.firstSoundFrame, 0);
    EXPECT_EQ(span.endSoundFrame, 220500);
}

TEST(CaptureSpan, SoundIsCutAtTheNearestFrameToTheVideosEnds) {
    const CaptureSpan whole = captureSpan(0, 4250, rate("60"), 44100);
    EXPECT_EQ(whole.frameCount(), 2550);
    EXPECT_EQ(whole.soundFrameCount(), 1874250);  // 42.5 s
    // 2548 frames of 1001/60000 s are 42.5092 s, or 1,874,652.78 sound frames.
    const CaptureSpan ntsc = captureSpan(0, 4250, rate("60000/1001"), 44100);
    EXPECT_EQ(ntsc.frameCount(), 2548);
    EXPECT_EQ(ntsc.endSoundFrame, 1874653);
    EXPECT_EQ(soundFrameAt(1, rate("60000/1001"), 44100), 736);  // 735.735
    const CaptureSpan late = captureSpan(1700, 2000, rate("60000/1001"), 44100);
    EXPECT_EQ(late.firstFrame, 1019);         // at 17.0003 s, the first to show 1700
    EXPECT_EQ(late.firstSoundFrame, 749714);  // 749,713.965
}

}  // namespace
}  // namespace quarbtro::capture
