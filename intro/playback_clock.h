#pragma once
// The intro's clock as each frame reads it: PlaybackClock, the centiseconds of audio heard
// (sound_playback.h), which never steps back. Reading it also does what follows from it once a
// frame: with QUARBTRO_CLOCK_LOG=FILE set, one line is appended to FILE per reading,
// "SECONDS CLOCK POSITION REPORTED" (CLOCK_MONOTONIC seconds with microseconds; the clock in
// centiseconds; the position in frames it was computed from; the position the device reported
// at this reading, lower than POSITION where the device stepped back), never holding up the
// frame (clock_log.h); nothing is written without the variable. And when the playback went on
// without the device (a sound fault), it says why once on standard error.

namespace quarbtro {

// Centiseconds of audio heard so far; 0 before createPlayer.
int PlaybackClock();

}  // namespace quarbtro
