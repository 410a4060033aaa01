#include "player/mixer.h"

#include <algorithm>
#include <bit>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "player/extended_precision.h"
#include "player/sinc_kernel.h"

namespace quarbtro {

namespace {

// Products and sums of the mix are formed in extended precision; only the buffer elements are
// rounded to single precision, when stored.
using Real = long double;

constexpr float volumeToGain = std::bit_cast<float>(0x3B808080u);  // 1/255, one unit low
constexpr float fixedToVolume = 1.0f / 256.0f;                      // 24.8 -> volume

// The voice's volume units: the design's 1/255, or fine volumes 256 times smaller
// (fineVoiceVolumes). Scaling by a power of two keeps every product of the design exact.
struct VolumeScale {
    float toGain;  // volume -> gain
    Real gainToFixed;  // gain -> 24.8 volume
};

VolumeScale volumeScaleOf(const Player& player) {
    if (player.rules.fineVoiceVolumes) return {volumeToGain * fixedToVolume, Real(255.0f) * Real(65536.0f)};
    return {volumeToGain, Real(255.0f) * Real(256.0f)};
}
// Interpolation weight per unit of positionFrac / 2: a little below 2^-31, so that the weight
// stays below 1 (0.99990 at most) and a frame never takes its neighbour's whole value.
constexpr float weightPerHalfFraction = std::bit_cast<float>(0x2FFFF910u);
// Boundaries further ahead than 2^24 frames are not looked for (the division below would not
// fit 32 bits); they come into range long before they are reached.
constexpr std::uint64_t boundaryHorizon = std::uint64_t{1} << 56;

std::uint64_t joined(std::uint32_t whole, std::uint32_t fraction) {
    return (std::uint64_t{whole} << 32) | fraction;
}

std::uint32_t wholeFrames(std::uint64_t position) { return static_cast<std::uint32_t>(position >> 32); }

void storePosition(Voice& voice, std::uint64_t position) {
    voice.positionInt = wholeFrames(position);
    voice.positionFrac = static_cast<std::uint32_t>(position);
}

// Output frames until the boundary `distance` (2^-32 frames) ahead is reached, by the shortened
// 64-by-32-bit division: both shifted right by 8, the quotient rounded up. That can fall short
// of the boundary by less than 256 x 2^-32 frame, which the boundary handling allows for. It can
// also come out one frame long, which would mix a frame beyond the boundary (for a loop at
// frame 0 going backward, one before the data); that frame is left to the next segment.
std::uint64_t framesToBoundary(std::uint64_t distance, std::uint64_t step) {
    const std::uint64_t dividend = distance >> 8;
    std::uint32_t divisor = static_cast<std::uint32_t>(step >> 8);
    if (divisor == 0) divisor = 1;  // a step below 2^-24 frame: the boundary is out of sight
    std::uint64_t frames = dividend / divisor + (dividend % divisor != 0 ? 1 : 0);
    if (frames > 0 && (frames - 1) * step >= distance) --frames;
    return frames;
}

// The ways of reading a sample at a 32.32 position, one per Interpolation; each is made for
// one segment of one voice.

// Linear: between frame i and frame i + 1 (in both directions the weight goes from frame i
// toward frame i + 1).
struct LinearRead {
    const std::int16_t* data;
    Real operator()(std::uint64_t position) const {
        const std::uint32_t i = wholeFrames(position);
        const Real s0 = data[i];
        const Real s1 = data[i + 1];
        const Real weight = Real(static_cast<std::uint32_t>(position) >> 1) * weightPerHalfFraction;
        return s0 + weight * (s1 - s0);
    }
};

// None: the frame the position is in.
struct NearestRead {
    const std::int16_t* data;
    Real operator()(std::uint64_t position) const { return data[wholeFrames(position)]; }
};

// The frames around a position as the voice will hear them, for the readers that look further
// than the next frame. Within the part of the sample played straight through they are the data
// itself. Past the loop end they are the loop's continuation: its start again (forward), or its
// frames backwards (ping-pong). Before the loop start, once the voice has gone round the loop,
// they are the loop's end (forward) or the loop's start mirrored (ping-pong). Before frame 0,
// and after the end of a sample without a loop, silence.
class Neighbourhood {
public:
    Neighbourhood(const Sample& sample, bool looped)
        : sample_(sample),
          loopEnd_(static_cast<std::int64_t>(sample.loopStart) + sample.loopLength),
          loops_(sample.loopLength > 0 && (sample.loopType & (loopForward | loopPingPong))),
          lowest_(looped && loops_ ? sample.loopStart : 0) {}

    // A pointer p with p[k] = the frame i + k for k from -before to after: into the data where
    // that is what is heard, else into `scratch` (before + after + 1 values), filled here.
    const std::int16_t* around(std::uint32_t i, int before, int after, std::int16_t* scratch) const {
        const std::int64_t first = static_cast<std::int64_t>(i) - before;
        if (first >= lowest_ && static_cast<std::int64_t>(i) + after < loopEnd_) return sample_.data + i;
        for (int k = -before; k <= after; ++k) scratch[k + before] = heard(static_cast<std::int64_t>(i) + k);
        return scratch + before;
    }

private:
    std::int16_t heard(std::int64_t index) const {
        const std::int64_t loopStart = sample_.loopStart;
        const std::int64_t length = sample_.loopLength;
        const bool pingPong = !(sample_.loopType & loopForward);
        if (index >= loopEnd_) {
            if (!loops_) return 0;
            const std::int64_t past = index - loopEnd_;
            if (!pingPong) return sample_.data[loopStart + past % length];
            const std::int64_t turn = past % (2 * length);
            return sample_.data[turn < length ? loopEnd_ - 1 - turn : loopStart + turn - length];
        }
        if (index < lowest_) {
            const std::int64_t before = loopStart - 1 - index;
            if (!pingPong) return sample_.data[loopEnd_ - 1 - before % length];
            const std::int64_t turn = before % (2 * length);
            return sample_.data[turn < length ? loopStart + turn : loopEnd_ - 1 - (turn - length)];
        }
        return index < 0 ? std::int16_t{0} : sample_.data[index];
    }

    const Sample& sample_;
    std::int64_t loopEnd_;
    bool loops_;
    std::int64_t lowest_;  // the first frame heard as it stands
};

// Cubic: a Catmull-Rom spline through frames i - 1 .. i + 2.
struct CubicRead {
    Neighbourhood frames;
    Real operator()(std::uint64_t position) const {
        std::int16_t scratch[4];
        const std::int16_t* p = frames.around(wholeFrames(position), 1, 2, scratch);
        const double t = static_cast<std::uint32_t>(position) * 0x1p-32;
        const double s0 = p[-1], s1 = p[0], s2 = p[1], s3 = p[2];
        return s1 + 0.5 * t * (s2 - s0 + t * (2 * s0 - 5 * s1 + 4 * s2 - s3 + t * (3 * (s1 - s2) + s3 - s0)));
    }
};

// Sinc: the band-limited kernel of sinc_kernel.h, its cut-off following the step.
struct SincRead {
    Neighbourhood frames;
    const SincBand& band;

    SincRead(const Sample& sample, bool looped, std::uint64_t step)
        : frames(sample, looped), band(sincBand(static_cast<double>(step) * 0x1p-32)) {}

    Real operator()(std::uint64_t position) const {
        std::int16_t scratch[2 * sincWidestReach + 4];
        const std::int16_t* p = frames.around(wholeFrames(position), band.reach - 1, band.taps - band.reach, scratch);
        return sincValue(p, static_cast<std::uint32_t>(position) * 0x1p-32, band);
    }
};

inline void addFrame(float* out, Real value, Real gainLeft, Real gainRight) {
    out[0] = static_cast<float>(out[0] + value * gainLeft);
    out[1] = static_cast<float>(out[1] + value * gainRight);
}

// n frames at the target gains, two per iteration; an odd last frame takes the current gains
// (which differ from the targets only by what a cut-off ramp left in currentLeft/Right).
template <typename Read>
std::uint64_t mixSteady(const Read& read, std::uint64_t position, std::uint64_t advance, float* out, int n,
                        Real targetLeft, Real targetRight, Real currentLeft, Real currentRight) {
    for (int pairs = n >> 1; pairs > 0; --pairs) {
        addFrame(out, read(position), targetLeft, targetRight);
        position += advance;
        addFrame(out + 2, read(position), targetLeft, targetRight);
        position += advance;
        out += 4;
    }
    if (n & 1) {
        addFrame(out, read(position), currentLeft, currentRight);
        position += advance;
    }
    return position;
}

// n frames of a running ramp: each frame at the gain reached so far, raised after the frame.
template <typename Read>
std::uint64_t mixRamp(const Read& read, std::uint64_t position, std::uint64_t advance, float* out, int n,
                      Real& gainLeft, Real& gainRight, Real stepLeft, Real stepRight) {
    for (; n > 0; --n) {
        addFrame(out, read(position), gainLeft, gainRight);
        gainLeft += stepLeft;
        gainRight += stepRight;
        position += advance;
        out += 2;
    }
    return position;
}

// n frames of a ramp a tick long (volumeRampsAsFt2), the gain raised after every second frame
// by two steps: a staircase of two-frame treads, never more than one step (the change over a
// tick's frames, 1/882 of it at 125 BPM) from the frame-by-frame ramp, at about the cost of a
// steady pair of frames. Tick-long ramps were most of what the FT2 profile costs beyond the
// design's.
template <typename Read>
std::uint64_t mixRampInPairs(const Read& read, std::uint64_t position, std::uint64_t advance, float* out, int n,
                             Real& gainLeft, Real& gainRight, Real stepLeft, Real stepRight) {
    const Real pairStepLeft = 2 * stepLeft;
    const Real pairStepRight = 2 * stepRight;
    for (int pairs = n >> 1; pairs > 0; --pairs) {
        addFrame(out, read(position), gainLeft, gainRight);
        position += advance;
        addFrame(out + 2, read(position), gainLeft, gainRight);
        position += advance;
        gainLeft += pairStepLeft;
        gainRight += pairStepRight;
        out += 4;
    }
    if (n & 1) return mixRamp(read, position, advance, out, 1, gainLeft, gainRight, stepLeft, stepRight);
    return position;
}

// The frames of one segment, at a steady gain or along a ramp, read as `read` reads them.
struct Segment {
    std::uint64_t position, advance;
    float* out;
    int frames;
    bool ramp;
    bool rampInPairs;  // a tick-long ramp
    Real targetLeft, targetRight;
    Real& gainLeft;
    Real& gainRight;
    Real stepLeft, stepRight;
};

template <typename Read>
std::uint64_t mixSegment(const Read& read, const Segment& s) {
    if (s.ramp && s.rampInPairs)
        return mixRampInPairs(read, s.position, s.advance, s.out, s.frames, s.gainLeft, s.gainRight, s.stepLeft,
                              s.stepRight);
    if (s.ramp)
        return mixRamp(read, s.position, s.advance, s.out, s.frames, s.gainLeft, s.gainRight, s.stepLeft,
                       s.stepRight);
    return mixSteady(read, s.position, s.advance, s.out, s.frames, s.targetLeft, s.targetRight, s.gainLeft,
                     s.gainRight);
}

std::uint64_t mixSegment(Interpolation interpolation, const Voice& voice, const Segment& segment) {
    const Sample& sample = *voice.sample;
    switch (interpolation) {
        case Interpolation::none: return mixSegment(NearestRead{sample.data}, segment);
        case Interpolation::cubic: return mixSegment(CubicRead{Neighbourhood(sample, voice.looped)}, segment);
        case Interpolation::sinc:
            return mixSegment(SincRead(sample, voice.looped, joined(voice.stepInt, voice.stepFrac)), segment);
        case Interpolation::linear: break;
    }
    return mixSegment(LinearRead{sample.data}, segment);
}

// The volumes a voice is heard at: its targets, or silence while its channel is muted.
struct Targets {
    std::int32_t left, right;
};

// Sets up a ramp toward the targets from the volumes applied so far; returns its length in
// frames, 0 when both sides are already there.
int startRamp(const Player& player, const VolumeScale& scale, Voice& voice, Targets targets) {
    voice.rampTargetLeft = targets.left;
    voice.rampTargetRight = targets.right;
    const std::int32_t left =
        targets.left - static_cast<std::int32_t>(static_cast<std::uint32_t>(voice.currentLeft) >> 8);
    const std::int32_t right =
        targets.right - static_cast<std::int32_t>(static_cast<std::uint32_t>(voice.currentRight) >> 8);
    // A voice may ask for a ramp of its own length (a whole tick, volumeRampsAsFt2).
    const bool ownLength = voice.rampFrames > 0;
    const float invLength = ownLength ? 1.0f / static_cast<float>(voice.rampFrames) : player.invRampLength;
    voice.rampStepLeft = static_cast<float>(Real(left) * scale.toGain * invLength);
    voice.rampStepRight = static_cast<float>(Real(right) * scale.toGain * invLength);
    if (left != 0 || right != 0) return ownLength ? voice.rampFrames : player.rampLength;
    voice.rampRemaining = 0;
    return 0;
}

// Forward loop: back by the loop length, then into the loop. A loop that starts at frame 0,
// reached a fraction of a frame early, would go below zero: it restarts at 0 instead.
std::uint64_t wrapForward(const Sample& sample, std::uint64_t position) {
    std::uint32_t whole = wholeFrames(position);
    if (whole < sample.loopLength) return 0;
    whole -= sample.loopLength;
    const std::uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (whole >= loopEnd) whole = sample.loopStart + (whole - sample.loopStart) % sample.loopLength;
    return joined(whole, static_cast<std::uint32_t>(position));
}

// Ping-pong loop: reflect at the boundary reached, and again at the other one until the
// position lies inside the loop. A reflection at a loop start of 0 can land a fraction of a
// frame below zero: it is held at 0.
std::uint64_t reflect(const Sample& sample, std::uint64_t position, std::int32_t& direction) {
    const std::int32_t loopStart = static_cast<std::int32_t>(sample.loopStart);
    const std::int32_t loopEnd = static_cast<std::int32_t>(sample.loopStart + sample.loopLength);
    const std::uint64_t twiceStart = std::uint64_t{sample.loopStart} << 33;
    const std::uint64_t twiceEnd = (std::uint64_t{sample.loopStart} + sample.loopLength) << 33;
    bool atEnd = direction == forward;
    for (;;) {
        if (atEnd) {
            position = twiceEnd - 1 - position;
            direction = backward;
            if (static_cast<std::int32_t>(wholeFrames(position)) >= loopStart) break;
        } else {
            position = twiceStart - 1 - position;
            direction = forward;
            if (static_cast<std::int32_t>(wholeFrames(position)) < loopEnd) break;
        }
        atEnd = !atEnd;
    }
    if (static_cast<std::int32_t>(wholeFrames(position)) < 0) return 0;
    return position;
}

// Adds the fading last value of an ended sample (endOfSampleDeclick) to n frames.
void mixTail(Voice& voice, float* out, int n) {
    constexpr Real fade = Real(255) / 256;
    constexpr Real inaudible = Real(1) / 512;  // of a 16-bit step
    Real left = voice.tailLeft;
    Real right = voice.tailRight;
    for (; n > 0; --n) {
        left *= fade;
        right *= fade;
        out[0] = static_cast<float>(out[0] + left);
        out[1] = static_cast<float>(out[1] + right);
        out += 2;
    }
    const bool faded = std::fabs(left) < inaudible && std::fabs(right) < inaudible;
    voice.tailLeft = faded ? 0.0f : static_cast<float>(left);
    voice.tailRight = faded ? 0.0f : static_cast<float>(right);
}

}  // namespace

void mixVoice(const Player& player, Voice& voice, float* buffer, int frames) {
    if (voice.tailLeft != 0 || voice.tailRight != 0) mixTail(voice, buffer, frames);
    if (voice.sample == nullptr) return;
    const VolumeScale scale = volumeScaleOf(player);
    int remaining = frames;
    float* cursor = buffer;
    // A muted channel's voices ramp down to silence and back up like any volume change; channel
    // i plays on voice i or i + 32.
    const bool muted = (player.mutedChannels.load(std::memory_order_relaxed) >> (voice.index & 31)) & 1;
    const Targets targets = muted ? Targets{0, 0} : Targets{voice.targetLeft, voice.targetRight};
    for (;;) {
        const Sample& sample = *voice.sample;
        const std::uint32_t loopEnd = sample.loopStart + sample.loopLength;
        const bool goingForward = voice.direction == forward;
        const std::uint64_t step = joined(voice.stepInt, voice.stepFrac);
        std::uint64_t position = joined(voice.positionInt, voice.positionFrac);

        // The segment ends at the call's end, at the loop or sample boundary, or at the end of
        // a volume ramp, whichever comes first.
        int n = remaining;
        bool boundary = false;
        const std::uint64_t distance = goingForward ? joined(loopEnd, 0) - position
                                                    : position - joined(sample.loopStart, 0);
        if (sample.data == nullptr) {  // nothing to play: the voice ends at once
            n = 0;
            boundary = true;
        } else if (distance < boundaryHorizon) {
            const std::uint64_t k = framesToBoundary(distance, step);
            if (k <= static_cast<std::uint64_t>(n)) {
                n = static_cast<int>(k);
                boundary = true;
            }
        }
        const int untilBoundary = n;

        int rampFrames;
        if (voice.rampRemaining > 0 && targets.left == voice.rampTargetLeft &&
            targets.right == voice.rampTargetRight) {
            rampFrames = voice.rampRemaining;
        } else {
            rampFrames = startRamp(player, scale, voice, targets);
        }
        if (rampFrames > 0) {
            voice.rampRemaining = rampFrames;
            if (rampFrames < n) n = rampFrames;
        }

        const Real targetLeft = static_cast<float>(Real(targets.left) * scale.toGain);
        const Real targetRight = static_cast<float>(Real(targets.right) * scale.toGain);
        Real gainLeft = static_cast<float>(Real(voice.currentLeft) * fixedToVolume * scale.toGain);
        Real gainRight = static_cast<float>(Real(voice.currentRight) * fixedToVolume * scale.toGain);
        const std::uint64_t advance = goingForward ? step : 0 - step;
        if (rampFrames == 0 && targetLeft == 0 && targetRight == 0 && gainLeft == 0 && gainRight == 0) {
            // A silent voice (a note given up, faded out, still looping) adds only zeros: it
            // just moves on, exactly as far as frame-by-frame steps would take it.
            position += static_cast<std::uint64_t>(n) * advance;
        } else {
            const Segment segment{position,       advance,         cursor,     n,
                                  rampFrames > 0, voice.rampFrames > 0, targetLeft, targetRight,
                                  gainLeft,       gainRight,       voice.rampStepLeft, voice.rampStepRight};
            position = mixSegment(player.interpolation, voice, segment);
        }
        cursor += 2 * n;
        remaining -= n;

        if (rampFrames > 0) {
            if (n > 0) {
                voice.currentLeft = static_cast<std::int32_t>(std::lrint(gainLeft * scale.gainToFixed));
                voice.currentRight = static_cast<std::int32_t>(std::lrint(gainRight * scale.gainToFixed));
            }
            voice.rampRemaining -= n;
            if (voice.rampRemaining == 0) {
                voice.rampStepLeft = 0;
                voice.rampStepRight = 0;
                voice.currentLeft = targets.left * 256;
                voice.currentRight = targets.right * 256;
                if (n < untilBoundary) {  // the ramp ended the segment, not the boundary
                    storePosition(voice, position);
                    continue;
                }
            }
        }
        if (!boundary) {
            storePosition(voice, position);
            return;
        }

        const bool loops = sample.loopLength > 0 && sample.data != nullptr;
        if (loops && (sample.loopType & loopForward)) {
            position = wrapForward(sample, position);
        } else if (loops && (sample.loopType & loopPingPong)) {
            position = reflect(sample, position, voice.direction);
        } else {
            if (player.rules.endOfSampleDeclick && n > 0 && sample.data != nullptr) {
                // The value of the last frame mixed, taken on from the next frame.
                const Real value = LinearRead{sample.data}(position - advance);
                const Real left = rampFrames > 0 ? gainLeft - Real(voice.rampStepLeft) : targetLeft;
                const Real right = rampFrames > 0 ? gainRight - Real(voice.rampStepRight) : targetRight;
                voice.tailLeft = static_cast<float>(value * left);
                voice.tailRight = static_cast<float>(value * right);
                mixTail(voice, cursor, remaining);
            }
            voice.sample = nullptr;
            voice.positionInt = 0;
            voice.positionFrac = 0;
            return;
        }
        storePosition(voice, position);
        voice.looped = 1;
        if (remaining <= 0) return;
    }
}

void mixVoices(Player& player, float* buffer, int frames) {
    if (frames <= 0) return;
    for (int i = 0; i < mixedVoiceCount; ++i) mixVoice(player, player.voices[i], buffer, frames);
}

int clippedSamples(const float* mix, int count) {
    int clipped = 0;
    for (int i = 0; i < count; ++i) clipped += mix[i] >= highestHeld || mix[i] < lowestHeld;
    return clipped;
}

int convertToS16(std::int16_t* output, const float* mixBuffer, int frames) {
    if (frames <= 0 || output == nullptr || mixBuffer == nullptr) return 0;
    const int count = 2 * frames;
    int clipped = 0;
    int i = 0;
#if defined(__SSE2__)
    // Four at a time: clamped in float, then converted with the rounding mode in force (to the
    // nearest, ties to even), as lrint does; the pack cannot saturate any more.
    const __m128 highest = _mm_set1_ps(32767.0f);
    const __m128 lowest = _mm_set1_ps(-32768.0f);
    const __m128 aboveHeld = _mm_set1_ps(highestHeld);
    const __m128 belowHeld = _mm_set1_ps(lowestHeld);
    for (; i + 8 <= count; i += 8) {
        const __m128 firstMixed = _mm_loadu_ps(mixBuffer + i);
        const __m128 secondMixed = _mm_loadu_ps(mixBuffer + i + 4);
        const int outside = _mm_movemask_ps(_mm_or_ps(_mm_cmpge_ps(firstMixed, aboveHeld),
                                                      _mm_cmplt_ps(firstMixed, belowHeld))) |
                            _mm_movemask_ps(_mm_or_ps(_mm_cmpge_ps(secondMixed, aboveHeld),
                                                      _mm_cmplt_ps(secondMixed, belowHeld))) << 4;
        clipped += std::popcount(static_cast<unsigned>(outside));
        const __m128 first = _mm_max_ps(_mm_min_ps(firstMixed, highest), lowest);
        const __m128 second = _mm_max_ps(_mm_min_ps(secondMixed, highest), lowest);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(first), _mm_cvtps_epi32(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), packed);
    }
#endif
    for (; i < count; ++i) {
        float value = mixBuffer[i];
        clipped += clippedSamples(&value, 1);
        if (value > 32767.0f) value = 32767.0f;
        if (value < -32768.0f) value = -32768.0f;
        output[i] = static_cast<std::int16_t>(std::lrint(value));
    }
    return clipped;
}

}  // namespace quarbtro
