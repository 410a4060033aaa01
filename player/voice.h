#pragma once
// One mixer voice: what the sequencer asks the mixer to play on one output path (sample,
// position, step, left and right volume) and the mixer's own ramp state. 256 voices exist for
// the life of the process; voices 0..63 are mixed. Channel i drives voice i or its partner
// i + 32, so the note a channel leaves behind can fade out while the next one starts.

#include <cstdint>

#include "player/module.h"

namespace quarbtro {

inline constexpr int voiceCount = 256;
inline constexpr int mixedVoiceCount = 64;

// A position is the 32.32 number positionInt . positionFrac frames from the start of the sample
// data; a step is stepInt . stepFrac frames per output frame. Volumes are 0..127 in normal play
// (gain = volume / 255); currentLeft and currentRight are the applied volumes in 24.8 fixed
// point.
struct Voice {
    std::int32_t index;            // the voice's own number in the voice array
    std::int32_t volume;           // final volume, a reported copy (the mixer does not read it)
    std::int32_t frequency;        // Hz, a reported copy
    std::int32_t panning;          // 0..255, a reported copy
    std::int32_t mixVolume;        // the volume the two targets were computed from
    std::int32_t mixPanning;       // the panning the two targets were computed from
    std::uint32_t startOffset;     // frame the next note starts at; consumed by the trigger
    const Sample* sample;          // null: silent, skipped by the mixer
    std::int32_t targetLeft;       // volume of the first (left) sample of each output frame
    std::int32_t targetRight;      // volume of the second (right) sample
    std::uint32_t positionInt;     // whole frames
    std::uint32_t positionFrac;    // 2^-32 frame
    std::uint32_t stepFrac;        // 2^-32 frame per output frame
    std::uint32_t stepInt;         // whole frames per output frame
    std::int32_t direction;        // 1 forward; anything else backward (the mixer writes 2)
    std::int32_t rampTargetLeft;   // the targetLeft the running ramp was set up for
    std::int32_t rampTargetRight;  // the targetRight the running ramp was set up for
    std::int32_t currentLeft;      // applied left volume, 24.8
    std::int32_t currentRight;     // applied right volume, 24.8
    float rampStepLeft;            // gain added to the left gain per ramp frame
    float rampStepRight;           // gain added to the right gain per ramp frame
    std::int32_t rampRemaining;    // frames left in the running ramp; 0 = none
    std::int32_t rampFrames;       // length of the next ramp set up; 0 = the player's (volumeRampsAsFt2)
    // What the voice gave each side on the frame its sample ended, fading out by 1/256 a frame
    // (endOfSampleDeclick; 0 otherwise), in the units of the mix buffer.
    float tailLeft;
    float tailRight;
    // 1 once the voice has gone round its loop since its note started (0 at a trigger or a
    // rewind): the frames before the loop start are then the loop's end, for the interpolations
    // that read behind the position (cubic, sinc).
    std::int32_t looped;
};

inline constexpr std::int32_t forward = 1;
inline constexpr std::int32_t backward = 2;

}  // namespace quarbtro
