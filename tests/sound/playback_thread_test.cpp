// The playback thread and the playback clock against the simulated output: blocks counted as the
// device takes them, start and stop, faults, pause and order moves.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/player/test_song.h"
#include "player/playback.h"
#include "simulated_output.h"
#include "sound/playback_clock.h"
#include "sound/sound_playback.h"

namespace quarbtro {
namespace {

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

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.player = &playback->player;
        playback->monotonicNs = [this] { return device.timeNs(); };
        preparePlayback(*playback, device.output());
    }
    void TearDown() override { closePlayback(*playback); }

    // Waits (up to 10 s) for something the playback thread does.
    template <typename Condition>
    void await(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(condition());
    }

    SimulatedOutput device;
    std::unique_ptr<SoundPlayback> playback = std::make_unique<SoundPlayback>();
    PlayingSong playing;
};

TEST_F(PlaybackTest, PrepareConfiguresThePlayerForTheGrantedRate) {
    EXPECT_EQ(playback->player.outputRate, 44100);
    EXPECT_EQ(playback->player.blockFrames, 2048);
    EXPECT_EQ(playback->player.rampLength, 128);
    EXPECT_EQ(playback->player.voices[200].index, 200);
    EXPECT_EQ(playback->player.voices[7].sample, nullptr);
    EXPECT_EQ(heardPosition(*playback).frames, 0u);
    EXPECT_EQ(heardPosition(*playback).clock, 0);
}

TEST_F(PlaybackTest, FramesCountWhenTheDeviceTakesThemNotBefore) {
    ASSERT_EQ(startPlayback(*playback, playing.module()), 1);
    device.awaitTaken(4096);  // two blocks fill the queue; the third waits for room
    ASSERT_EQ(device.writeCount(), 2u);
    EXPECT_EQ(device.write(0).frames, 2048);
    EXPECT_EQ(device.write(1).takenBefore, 2048);
    // The first block starts with a tick at frame 0, then ticks at 882 and 1,764; 598 frames of
    // the third tick are owed to the next block.
    EXPECT_EQ(device.write(0).samplesLeftInTick, 598);
    EXPECT_EQ(device.write(0).tick, 3);
    // The third block is rendered and waits: nothing of it is counted, nothing heard yet.
    EXPECT_EQ(heardPosition(*playback).frames, 0u);
    // 1,000 frames play: the thread writes exactly that much of the third block.
    device.played = 1000;
    device.awaitTaken(5096);
    ASSERT_EQ(device.writeCount(), 3u);
    EXPECT_EQ(device.write(2).frames, 1000);
    EXPECT_EQ(heardPosition(*playback).frames, 1000u);  // 5,096 taken, 4,096 queued
    device.played = 22050;                             // half a second
    device.awaitTaken(22050 + 4096);
    const HeardPosition heard = heardPosition(*playback);
    EXPECT_EQ(heard.frames, 22050u);
    EXPECT_EQ(heard.clock, 50);
}

TEST_F(PlaybackTest, AQueueTheDeviceCannotTellKeepsTheLastPositionHeard) {
    startPlayback(*playback, playing.module());
    device.played = 2000;
    device.awaitTaken(6096);
    EXPECT_EQ(heardPosition(*playback).frames, 2000u);
    device.queueUnknown = true;
    device.played = 3000;
    EXPECT_EQ(heardPosition(*playback).frames, 2000u);
    device.queueUnknown = false;
    EXPECT_EQ(heardPosition(*playback).frames, 3000u);
}

TEST_F(PlaybackTest, StopEndsTheThreadWhileItWaitsForRoom) {
    startPlayback(*playback, playing.module());
    device.awaitTaken(4096);  // full: the thread waits for room
    EXPECT_EQ(stopPlayback(*playback, playing.module()), 1);
    EXPECT_FALSE(playback->threadRunning);
    EXPECT_EQ(playback->player.mixBuffer, nullptr);
    EXPECT_EQ(playback->player.currentModule, nullptr);
    device.played = 100000;  // room again, but nobody writes
    usleep(20000);
    EXPECT_EQ(device.writeCount(), 2u);
    EXPECT_FALSE(device.closed);  // the output stays open
    EXPECT_EQ(stopPlayback(*playback, playing.module()), 1);  // a second stop finds nothing
    EXPECT_EQ(stopPlayback(*playback, nullptr), 0);
    EXPECT_EQ(startPlayback(*playback, nullptr), 0);
}

TEST_F(PlaybackTest, StopRightAfterStartEndsTheNewThread) {
    device.capacity = 1 << 20;
    for (int i = 0; i < 50; ++i) {
        startPlayback(*playback, playing.module());
        stopPlayback(*playback, playing.module());
        ASSERT_FALSE(playback->threadRunning);
        ASSERT_EQ(playback->player.mixBuffer, nullptr);
    }
}

TEST_F(PlaybackTest, StartAgainRestartsTheSongFromOrderZero) {
    playing.song.module.defaultSpeed = 1;  // a row per tick: 64 rows in under 30 blocks
    device.capacity = 20 * 2048;           // room for exactly 20 blocks
    startPlayback(*playback, playing.module());
    device.awaitTaken(20 * 2048);
    ASSERT_EQ(device.writeCount(), 20u);
    EXPECT_EQ(device.write(19).row, (20 * 2048 - 1) / 882 % 64);  // 46: far into the song
    startPlayback(*playback, playing.module());  // the 21st block, rendered, is never written
    device.playAll();
    device.awaitTaken(21 * 2048);
    const SimulatedOutput::Write first = device.write(20);
    EXPECT_EQ(first.takenBefore, 20 * 2048);
    EXPECT_EQ(first.orderPosition, 0);
    EXPECT_EQ(first.row, 2);  // ticks at frames 0, 882 and 1,764 of the new start
    EXPECT_EQ(first.samplesLeftInTick, 598);
}

TEST_F(PlaybackTest, StopWithoutAThreadFreesTheMixBuffer) {
    ASSERT_EQ(beginPlayback(playback->player, playing.module()), 1);
    ASSERT_NE(playback->player.mixBuffer, nullptr);
    EXPECT_EQ(stopPlayback(*playback, playing.module()), 1);
    EXPECT_EQ(playback->player.mixBuffer, nullptr);
    EXPECT_EQ(playback->player.currentModule, nullptr);
}

TEST_F(PlaybackTest, AnUnderrunThatRecoversIsNoLoss) {
    device.failure = -EPIPE;
    device.failuresLeft = 3;
    device.capacity = 1 << 20;
    startPlayback(*playback, playing.module());
    device.awaitTaken(3 * 2048);
    EXPECT_EQ(device.recovers, 3);
    EXPECT_EQ(playback->fault, SoundFault::none);
    EXPECT_FALSE(device.closed);
}

TEST_F(PlaybackTest, WhatARecoveryDropsIsNotHeardAndIsPlayedAgain) {
    startPlayback(*playback, playing.module());
    device.played = 3000;
    device.awaitTaken(7096);
    ASSERT_EQ(heardPosition(*playback).frames, 3000u);
    // An underrun with the queue still full, as a stalled PipeWire server's: the recovery drops
    // the 4,096 frames queued.
    device.recoveryDropsQueue = true;
    device.failure = -EPIPE;
    device.failuresLeft = 1;
    device.awaitTaken(7096 + 4096);  // the queue filled again after the recovery
    EXPECT_EQ(device.recovers, 1);
    EXPECT_EQ(heardPosition(*playback).frames, 3000u);
    // What the device took next is what it dropped: frames 3,000 to 7,095 of the song.
    const std::vector<std::int16_t> taken = device.samplesTaken();
    ASSERT_GE(taken.size(), 2u * (7096 + 4096));
    EXPECT_TRUE(std::equal(taken.begin() + 2 * 3000, taken.begin() + 2 * 7096, taken.begin() + 2 * 7096));
    // As they play, the clock goes on from 3,000.
    device.played = device.played + 1000;
    EXPECT_EQ(heardPosition(*playback).frames, 4000u);
    EXPECT_EQ(playback->fault, SoundFault::none);
}

TEST_F(PlaybackTest, AnOutputThatKeepsFailingIsLostAndTheNullSinkKeepsTimeFromThePositionHeard) {
    startPlayback(*playback, playing.module());
    device.played = 3000;
    device.awaitTaken(7096);
    ASSERT_EQ(heardPosition(*playback).frames, 3000u);
    // Every wait fails and every recovery succeeds, as with a killed PipeWire server; half a
    // second passes.
    device.failure = -EPIPE;
    device.failuresLeft = -1;
    await([&] { return device.recovers > 1; });
    EXPECT_EQ(playback->fault, SoundFault::none);
    device.idleNs = 500000000;
    await([&] { return playback->fault != SoundFault::none; });
    EXPECT_EQ(playback->fault, SoundFault::lost);
    EXPECT_EQ(playback->faultReason, "simulated: Broken pipe");
    EXPECT_TRUE(device.closed);
    EXPECT_GT(device.recovers, 1);
    // On the null sink the clock goes on from 3,000 frames (the 4,096 the dead device still
    // held are dropped), at the pace of the monotonic clock.
    EXPECT_GE(heardPosition(*playback).frames, 3000u);
    EXPECT_EQ(playback->output.backend, &nullBackend);
    await([&] { return heardPosition(*playback).frames >= 3000 + 44100 / 10; });
}

TEST_F(PlaybackTest, AnOutputThatCannotRecoverIsLostAtOnce) {
    device.failure = -EIO;
    device.failuresLeft = -1;
    device.recoverResult = -EIO;  // as PulseAudio's plugin once its server is gone
    startPlayback(*playback, playing.module());
    await([&] { return playback->fault != SoundFault::none; });
    EXPECT_EQ(playback->fault, SoundFault::lost);
    EXPECT_EQ(device.recovers, 1);
    EXPECT_EQ(playback->faultReason, "simulated: Input/output error");
}

// The clock as a frame loop would read it: whatever the device reports, never lower than before.
TEST_F(PlaybackTest, APositionReportedLowerIsHeldUntilTheSoundCatchesUp) {
    startPlayback(*playback, playing.module());
    device.played = 3000;
    device.awaitTaken(7096);
    const HeardPosition before = heardPosition(*playback);
    ASSERT_EQ(before.frames, 3000u);
    device.played = 2500;  // the device now says less has been heard
    HeardPosition heard = heardPosition(*playback);
    EXPECT_EQ(heard.reported, 2500u);
    EXPECT_EQ(heard.frames, 3000u);
    EXPECT_EQ(heard.clock, before.clock);
    device.played = 2900;  // still below: held
    EXPECT_EQ(heardPosition(*playback).frames, 3000u);
    device.played = 3100;  // caught up
    heard = heardPosition(*playback);
    EXPECT_EQ(heard.reported, 3100u);
    EXPECT_EQ(heard.frames, 3100u);
}

// ALSA's null plugin: every frame is "heard" the moment it is taken.
TEST_F(PlaybackTest, ADeviceFasterThanRealTimeIsReplacedByTheNullSink) {
    device.drains = true;  // and the device's time stands still: nothing is really played
    startPlayback(*playback, playing.module());
    await([&] { return playback->fault != SoundFault::none; });
    EXPECT_EQ(playback->fault, SoundFault::tooFast);
    EXPECT_EQ(playback->faultReason,
              "the simulated device takes audio faster than it can be played (ALSA's null plugin?)");
    EXPECT_TRUE(device.closed);
    EXPECT_EQ(playback->output.backend, &nullBackend);
    // Found at the fourth block: 8,192 frames (186 ms) heard at once are more than 50 ms and the
    // queue of 4,096 frames allow.
    EXPECT_EQ(device.taken(), 4 * 2048);
    // The clock holds what it read, and the null sink plays on in real time from where a real
    // device would be (0 here: the test's time stood still).
    EXPECT_LE(heardPosition(*playback).frames, 4u * 2048);
    await([&] { return heardPosition(*playback).frames > 4 * 2048 + 44100 / 10; });
}

TEST(PlaybackPace, ADevicePlayingInRealTimeIsNotTooFast) {
    // 50 ms and the queue at the start; then 1 % of drift.
    EXPECT_FALSE(fasterThanRealTime(2205 + 8192, 0, 44100, 8192));
    EXPECT_TRUE(fasterThanRealTime(2206 + 8192, 0, 44100, 8192));
    EXPECT_FALSE(fasterThanRealTime(44100 * 101 / 100 + 2205 + 4096, 1000000000, 44100, 4096));
    EXPECT_TRUE(fasterThanRealTime(44100 * 101 / 100 + 2206 + 4096, 1000000000, 44100, 4096));
    // The whole intro, 42.5 s, on a device 0.5 % fast.
    EXPECT_FALSE(fasterThanRealTime(1874250 * 1005 / 1000, 42500000000, 44100, 0));
}

// A PipeWire server stalled before the start takes a queue's worth and plays none of it.
TEST_F(PlaybackTest, ADeviceThatPlaysNothingFor3SecondsIsGivenUp) {
    startPlayback(*playback, playing.module());
    device.awaitTaken(4096);
    device.idleNs = 2900000000;
    usleep(20000);
    EXPECT_EQ(playback->fault, SoundFault::none);
    device.idleNs = 3000000000;
    await([&] { return playback->fault != SoundFault::none; });
    EXPECT_EQ(playback->fault, SoundFault::neverPlayed);
    EXPECT_EQ(playback->faultReason,
              "the simulated device played nothing in 3 s (a sound server that has stopped answering?)");
    EXPECT_EQ(playback->output.backend, &nullBackend);
    await([&] { return heardPosition(*playback).frames > 44100 / 10; });  // from 0, in real time
}

TEST_F(PlaybackTest, ADeviceThatPlayedIsNeverGivenUpForAStall) {
    startPlayback(*playback, playing.module());
    device.played = 100;
    device.awaitTaken(4196);
    device.idleNs = 10000000000;  // 10 s stalled
    usleep(50000);
    EXPECT_EQ(playback->fault, SoundFault::none);
    EXPECT_EQ(heardPosition(*playback).frames, 100u);
}

TEST_F(PlaybackTest, PausedTheOutputGetsSilenceAndTheSongWaits) {
    startPlayback(*playback, playing.module());
    device.awaitTaken(4096);
    setPaused(*playback, true);
    device.playAll(3 * 2048);
    device.awaitTaken(7 * 2048);
    // The third block was rendered before the pause; the next ones are silence.
    const SimulatedOutput::Write beforePause = device.write(2);
    for (std::size_t i = 3; i < 7; ++i) {
        EXPECT_TRUE(device.write(i).silent) << i;
        EXPECT_EQ(device.write(i).tick, beforePause.tick) << i;
        EXPECT_EQ(device.write(i).samplesLeftInTick, beforePause.samplesLeftInTick) << i;
    }
    EXPECT_FALSE(device.write(0).silent);
    setPaused(*playback, false);
    device.playAll(4096);
    device.awaitTaken(9 * 2048);
    EXPECT_NE(device.write(8).samplesLeftInTick, beforePause.samplesLeftInTick);
}

// Started at an order position, the thread's very first block is of that order: nothing of
// the song's start is ever written.
TEST_F(PlaybackTest, StartsAtTheOrderAskedForFromTheFirstBlock) {
    TestSong song{1, {64, 64, 64}};
    song.setOrders({0, 1, 2});
    song.addInstrument(5000);
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};  // order 0 sounds at once; order 2 is silent
    device.drains = true;
    ASSERT_EQ(startPlayback(*playback, &song.module, 2), 1);
    device.awaitTaken(2048);
    EXPECT_EQ(device.write(0).orderPosition, 2);
    EXPECT_TRUE(device.write(0).silent);
    stopPlayback(*playback, &song.module);
    EXPECT_EQ(startPlayback(*playback, &song.module, 3), 0);  // past the song
}

// At speed 1 a row lasts one tick of 882 frames: a block of 2,048 ends in row 2 (its third),
// the next in row 4. What is shown is the block being heard, not the last one rendered.
TEST_F(PlaybackTest, TheSongPositionHeardIsTheBlockBeingHeard) {
    playing.song.module.defaultSpeed = 1;
    BlockPosition heard{};
    EXPECT_FALSE(heardSongPosition(*playback, heard));  // nothing rendered yet
    startPlayback(*playback, playing.module());
    device.awaitTaken(4096);  // two blocks queued, the third rendered and waiting: none heard
    ASSERT_TRUE(heardSongPosition(*playback, heard));
    EXPECT_EQ(heard.firstFrame, 0u);
    EXPECT_EQ(heard.row, 2);
    EXPECT_EQ(heard.playing.speed, 1);
    // The third block, rendered once the second was written, ends in row 6: not yet heard.
    await([&] { return getRow(playback->player, playing.module()) == 6; });
    device.played = 2048;
    device.awaitTaken(6144);
    ASSERT_TRUE(heardSongPosition(*playback, heard));
    EXPECT_EQ(heard.firstFrame, 2048u);
    EXPECT_EQ(heard.row, 4);
}

TEST_F(PlaybackTest, MoveToOrderJumpsAtTheNextRow) {
    TestSong song{1, {64, 64, 64}};
    song.setOrders({0, 1, 2});
    startPlayback(*playback, &song.module);
    device.awaitTaken(4096);
    moveToOrder(*playback, 2);
    device.playAll(6 * 2048);  // a row is 6 ticks of 882 frames: under three blocks
    device.awaitTaken(10 * 2048);
    EXPECT_EQ(device.write(9).orderPosition, 2);
    EXPECT_LT(device.write(9).row, 10);
    stopPlayback(*playback, &song.module);
}

}  // namespace
}  // namespace quarbtro
