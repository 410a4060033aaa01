#pragma once
// The player's exact arithmetic (the mix, the tick length, the played time, the playback clock)
// is written for long double as the x87 80-bit format, whose 64-bit mantissa decides how each
// product and quotient rounds. Another long double (64-bit on ARM, 128-bit elsewhere) would
// change rendered bytes and clock readings without any other sign.

#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64,
              "the player's rendering is exact only where long double has a 64-bit mantissa "
              "(the x87 80-bit format, as on x86-64 Linux)");
