#pragma once
// The voice mixer: resamples each playing voice's 16-bit sample as the player's interpolation
// says (linear by default; cubic and the band-limited sinc read the frames around a loop as the
// voice hears them), follows forward and ping-pong loops, ends voices at the end of samples
// without a loop, ramps every volume change over rampLength frames, and adds the result into a
// float mix buffer (two floats per frame, left then right, in the units of 16-bit samples).
// convertToS16 rounds and clips the buffer for the device.
//
// Runs on the rendering thread only; the sequencer changes voices between two calls.

#include <cstdint>

#include "player/player.h"
#include "player/voice.h"

namespace quarbtro {

// Adds `frames` frames of the player's voices 0..63, in ascending order, to the mix buffer from
// `buffer` on.
void mixVoices(Player& player, float* buffer, int frames);

// Adds `frames` frames of one voice to the buffer and advances the voice; the volume ramps
// take the player's ramp length, and a voice of a muted channel ramps to silence.
void mixVoice(const Player& player, Voice& voice, float* buffer, int frames);

// Writes 2 x frames signed 16-bit samples: each float rounded to the nearest integer (ties to
// even) and clamped to -32,768..32,767.
// Returns how many samples were clipped (rounded beyond what 16 bits hold).
int convertToS16(std::int16_t* output, const float* mixBuffer, int frames);

// The mix values a 16-bit sample holds once rounded: from lowestHeld (exclusive of it) up to
// highestHeld (exclusive).
inline constexpr float highestHeld = 32767.5f, lowestHeld = -32768.5f;
// How many of `count` mixed samples convertToS16 would clip.
int clippedSamples(const float* mix, int count);

}  // namespace quarbtro
