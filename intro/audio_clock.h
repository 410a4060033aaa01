#pragma once
// The intro's clock as each frame reads it: the audio heard (PlaybackClock). Reading it also
// does what follows from it once a frame: with QUARBTRO_CLOCK_LOG=FILE set, one line is
// appended to FILE per reading, "SECONDS CLOCK POSITION" (CLOCK_MONOTONIC seconds with
// microseconds, the clock in centiseconds, the position heard in frames from which it was
// computed); nothing is written without the variable. And when the sound has been lost, it
// says so once on standard error (the clock goes on, on the monotonic clock).

namespace quarbtro {

int audioClock();

}  // namespace quarbtro
