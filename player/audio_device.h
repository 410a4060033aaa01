#pragma once
// The sound device and the playback thread that feeds it, and the audio clock.
//
// The device is opened for signed 16-bit little-endian stereo at the rate asked for, with at
// most eight fragments of 2,048 bytes queued (two blocks, about 93 ms). The playback thread
// renders one block of 2,048 frames at a time and writes it with one blocking write, which is
// its only pacing. PlaybackClock turns the bytes written, less those the device still holds,
// into the centiseconds of audio heard: the time base of the whole intro.
//
// Threads: openAudioDevice, closeAudioDevice, startPlayback, stopPlayback and PlaybackClock
// run on the controlling thread (the intro's main thread, a tool's only thread);
// audioThreadMain is the playback thread. They meet only through the atomics below.

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

struct AudioDevice {
    std::int32_t audioFd;  // -1 = not open; written by open and close
    // Bytes handed to the device since the player was created, wrapping modulo 2^32. Written by
    // the playback thread (before each write, so a blocked write already counts), read by
    // PlaybackClock; the controlling thread resets it while no thread runs.
    std::atomic<std::uint32_t> bytesWritten;
    std::atomic<std::uint8_t> stopRequested;  // set by stop, cleared by start; read by the thread
    std::atomic<std::uint8_t> rendering;      // the thread: 1 while it renders and writes a block
    // 0 while a playback thread runs: cleared by start before it creates the thread (so a stop
    // that comes at once still waits for it) and set by the thread as it leaves.
    std::atomic<std::uint8_t> threadExited;
    pthread_t playbackThread;                 // valid while hasPlaybackThread
    bool hasPlaybackThread;
};

extern AudioDevice audioDevice;

// The player the playback thread renders: the process's one playing song. Configured by
// openAudioDevice, started by startPlayback.
extern Player devicePlayer;

// Opens and configures the device, then configures the audio output for the rate (which
// silences every voice). 0 when the stream callbacks are not registered yet (the device is then
// not touched), when the device cannot be opened, or when it answers any request with other
// than what was asked: no fallbacks to other formats, rates or fragment sizes.
int openAudioDevice(std::int32_t rate);
// Closes the device if it is open.
void closeAudioDevice();

// Body of the playback thread: until stop is requested, sleep 100 µs, render a block, count its
// bytes, write it.
void* audioThreadMain(void*);

// Centiseconds of audio heard so far.
int PlaybackClock();

// Stops any playback, resets the module to its start and starts the playback thread on it.
// 1 when playback was set up (also when the thread could not be created: then nothing plays
// and the clock stands still), 0 for a null module or one the player cannot play.
int startPlayback(Module* module);
// Stops the playback thread and frees the mix buffer: 0 for a null module, else 1. The module
// is only tested for null; playback is global. The device stays open, the voices as they are.
int stopPlayback(Module* module);

}  // namespace quarbtro
