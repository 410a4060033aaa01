#pragma once
// The sound output interface: one small table of operations per backend, each backend in a file
// of its own (oss_output.cpp, alsa_output.cpp, null_output.cpp, wav_output.cpp), chosen in one
// place (output_choice.h). A backend opens at a wanted format and says what it granted, takes
// frames without ever blocking for long, and says how many frames it still holds: the playback
// thread counts what each write took, and the clock is what was taken less what is still
// queued.
//
// Threads (sound_playback.h): waitForRoom, write and recover are called on the playback thread
// only, queued on the thread that reads the clock too. write, recover and queued are called
// with the playback's lock held, so they never overlap one another; waitForRoom is called
// without it (it may wait 100 ms) and may overlap queued, so it must change nothing queued
// reads. A backend needs no locking of its own beyond that.

#include <csignal>
#include <cstdint>
#include <string>

#include "player/player.h"

namespace quarbtro {

enum class SampleEncoding {
    s16LittleEndian,  // signed 16-bit little-endian samples, left first in a frame
};

struct SoundFormat {
    std::int32_t rate;         // frames per second
    std::int32_t channels;     // samples per frame
    SampleEncoding encoding;
};

// The format the player writes: its default rate (44,100 Hz), stereo, signed 16-bit
// little-endian.
inline constexpr SoundFormat cdFormat = {defaultOutputRate, 2, SampleEncoding::s16LittleEndian};

struct SoundBackend;

// An open output: which backend, its own state, and what it granted.
struct SoundOutput {
    const SoundBackend* backend;  // null: not open
    void* state;                  // the backend's, allocated by open and freed by close
    SoundFormat format;           // as granted
    std::int32_t bufferFrames;    // frames the device can hold queued
};

// A one-line reason, filled in by a failing open.
struct OutputError {
    std::string text;
    bool stalled = false;  // the device did not answer in time: there, but not playing
};

struct SoundBackend {
    const char* name;    // "oss", "alsa", "null", "wav": as QUARBTRO_AUDIO names it
    const char* device;  // in a sentence: "ALSA's default device"
    // Opens the device for the wanted format. `target` is the backend's own: the WAV file's
    // path, or null. On success fills output.state, output.format (what was granted) and
    // output.bufferFrames and returns true; on failure leaves nothing open, says why in
    // `error` and returns false.
    bool (*open)(SoundOutput& output, const SoundFormat& wanted, const char* target,
                 OutputError& error);
    // Waits at most timeoutMs for room; returns the frames that can be written at once
    // (0 when the time ran out), or a negative errno when the device failed.
    long (*waitForRoom)(SoundOutput& output, int timeoutMs);
    // Takes up to `frames` frames (interleaved samples in the granted format) without waiting;
    // returns the frames taken (0 when there is no room), or a negative errno.
    long (*write)(SoundOutput& output, const void* samples, long frames);
    // Frames taken but not yet heard, or -1 when the device cannot tell.
    long (*queued)(SoundOutput& output);
    // After an error from waitForRoom or write: makes the device take frames again (an
    // underrun is over, say). Returns the frames it had taken that the recovery dropped
    // unplayed (0 or more: they will never be heard), or a negative errno when it cannot.
    int (*recover)(SoundOutput& output, int error);
    // Closes the device, dropping what it still holds, and frees output.state.
    void (*close)(SoundOutput& output);
};

extern const SoundBackend ossBackend;   // "/dev/dsp"
extern const SoundBackend alsaBackend;  // ALSA's default device
extern const SoundBackend nullBackend;  // silence, at the pace of the monotonic clock
extern const SoundBackend wavBackend;   // a WAV file, as fast as it is written

// Opens `backend` into `output`; a failed open leaves output.backend null. The open itself is
// given at most timeoutMs (PulseAudio's ALSA plugin waits forever for a server that has stopped
// answering): past it the open is abandoned, to be closed should it ever finish, and the error
// says so and is marked stalled. `interrupted`, when given, is looked at every 100 ms and ends
// the wait too.
inline constexpr int openTimeoutMs = 3000;
bool openSoundOutput(SoundOutput& output, const SoundBackend& backend, const SoundFormat& wanted,
                     const char* target, OutputError& error,
                     const volatile std::sig_atomic_t* interrupted = nullptr,
                     int timeoutMs = openTimeoutMs);
// Closes an open output; does nothing to one that is not open.
void closeSoundOutput(SoundOutput& output);
// The same, giving the close at most timeoutMs (a sound server that has stopped answering can
// hold it up): past that it is left to finish on its own, and false says so.
bool closeSoundOutputWithin(SoundOutput& output, int timeoutMs);

// Puts the calling thread under SCHED_FIFO at the lowest priority where the system allows it
// (root, or an rtprio limit); elsewhere nothing changes. See "Priority" in sound_playback.h:
// the playback thread asks for it, and so does the thread that opens a device, so that the
// threads a plugin starts inside the open inherit it.
void askForRealTimePriority();

}  // namespace quarbtro
