#include "player/modulators.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quarbtro {

namespace {

constexpr double pi = 3.141592;
constexpr double piSingle = static_cast<double>(3.141592f);  // the auto-vibrato's pi

std::int32_t periodAtExponent(int twelfths) {
    return static_cast<std::int32_t>(13.375 * std::pow(2.0, twelfths / 12.0));
}

// Vibrato and tremolo sine: |sin| of the phase, 0..255.
int sineMagnitude(std::int8_t phase) {
    return static_cast<int>(std::fabs(std::sin(2 * phase * pi / 64)) * 256);
}

// Ramp waveform: rising by 8 a step, mirrored for the negative half.
int rampMagnitude(std::int8_t phase) {
    const int value = static_cast<std::uint8_t>((phase & 31) * 8);
    return phase < 0 ? 255 - value : value;
}

std::int8_t advancePhase(std::int8_t phase, std::uint8_t speed) {
    std::int8_t next = static_cast<std::int8_t>(phase + speed);
    if (next > 31) next = static_cast<std::int8_t>(next - 64);
    return next;
}

int autoVibratoWave(std::uint8_t type, std::int32_t phase) {
    switch (type) {
    case 0: return static_cast<int>(std::sin(2 * phase * piSingle / 256) * 64);
    case 1: return phase <= 127 ? 64 : -64;
    case 2: return (128 - ((phase + 128) % 256)) >> 1;
    case 3: return (128 - ((384 - phase) % 256)) >> 1;
    default: return 0;
    }
}

}  // namespace

std::int32_t amigaPeriod(std::uint8_t note, std::int8_t finetune) {
    const std::int32_t base = periodAtExponent(132 - note);
    if (finetune >= 0 || note == 0) {
        const std::int32_t higher = periodAtExponent(131 - note);
        return base + ((higher - base) * finetune) / 128;
    }
    const std::int32_t lower = periodAtExponent(133 - note);
    return base - ((base - lower) * -finetune) / 128;
}

EnvelopeState volumeEnvelopeState(Channel& channel) {
    return {channel.volEnvPoint, channel.volEnvTick, channel.volEnvValue,
            channel.volEnvSlope, channel.volEnvVolume, channel.volEnvDone, channel.volEnvFine};
}

EnvelopeState panningEnvelopeState(Channel& channel) {
    return {channel.panEnvPoint, channel.panEnvTick, channel.panEnvValue,
            channel.panEnvSlope, channel.panEnvPanning, channel.panEnvDone, channel.panEnvFine};
}

EnvelopeShape volumeEnvelopeShape(const Instrument& instrument) {
    return {instrument.volumeEnvelope, instrument.volumePointCount, instrument.volumeSustainPoint,
            instrument.volumeLoopStart, instrument.volumeLoopEnd, instrument.volumeEnvelopeFlags};
}

EnvelopeShape panningEnvelopeShape(const Instrument& instrument) {
    return {instrument.panningEnvelope, instrument.panningPointCount, instrument.panningSustainPoint,
            instrument.panningLoopStart, instrument.panningLoopEnd, instrument.panningEnvelopeFlags};
}

void stepEnvelope(Channel& channel, EnvelopeState state, const EnvelopeShape& shape,
                  std::uint8_t request) {
    const int count = shape.pointCount < maxEnvelopePoints ? shape.pointCount : maxEnvelopePoints;
    const EnvelopePoint* points = shape.points;
    int i = state.point;
    if (i >= 0 && i < count && points[i].x == state.tick) {
        // The tick has reached point i.
        const bool sustained = (shape.flags & envelopeSustain) && (!channel.keyOff || shape.heldBeyondKeyOff);
        const bool leavesLoop = shape.sustainLoopLeftAtKeyOff && (shape.flags & envelopeSustain) &&
                                i == shape.sustainPoint && !sustained;
        if ((shape.flags & envelopeLoop) && i == shape.loopEnd && shape.loopStart < count && !leavesLoop) {
            i = shape.loopStart;
            state.point = i;
            state.tick = points[i].x;
        }
        if (i == count - 1) {
            state.output = points[i].y;
            state.fineOutput = points[i].y << 16;
            state.done = 1;
            channel.flags |= request;
            return;
        }
        if (sustained && i == shape.sustainPoint) {
            state.output = points[i].y;  // held here until the key is released
            state.fineOutput = points[i].y << 16;
            if (shape.held != nullptr) *shape.held = 1;
            channel.flags |= request;
            return;
        }
        const std::int64_t width = points[i + 1].x - points[i].x;
        const std::int64_t rise = (std::int64_t{points[i + 1].y} - points[i].y) * 65536;
        state.slope = static_cast<std::int32_t>(width == 0 ? 0 : rise / width);
        state.value = static_cast<std::int32_t>(std::int64_t{points[i].y} * 65536);
        state.point = i + 1;
    } else if (i < count) {
        // Between two points. Modulo 2^32, so that out-of-range points cannot overflow.
        state.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.value) +
                                                static_cast<std::uint32_t>(state.slope));
    }
    state.output = static_cast<std::int16_t>(static_cast<std::uint32_t>(state.value) >> 16);
    state.fineOutput = state.value;
    state.tick += 1;
    channel.flags |= request;
}

namespace {

// FT2's auto-vibrato: the phase moves before it is read; the depth grows by depth / sweep a
// tick (in 1/256) while the key is down, and a key-off during the sweep leaves one step of it.
// autoVibSweep counts the ticks of the sweep, -1 once the full depth is reached.
void stepAutoVibratoAsFt2(Channel& channel, const Instrument& instrument) {
    channel.flags |= updateFrequency;
    const int depth = instrument.autoVibratoDepth;
    if (depth == 0) return;
    int amplitude = depth << 8;
    if (instrument.autoVibratoSweep != 0 && channel.autoVibSweep >= 0) {
        const int step = (depth << 8) / instrument.autoVibratoSweep;
        if (channel.keyOff) {
            amplitude = step;
        } else {
            channel.autoVibSweep += 1;
            amplitude = channel.autoVibSweep * step;
            if ((amplitude >> 8) > depth) {
                amplitude = depth << 8;
                channel.autoVibSweep = -1;
            }
        }
    }
    channel.autoVibPos = (channel.autoVibPos + instrument.autoVibratoRate) & 255;
    // FT2's waveforms as offsets to the period (positive: lower), turned into the design's
    // periodDelta (positive: higher).
    const int phase = channel.autoVibPos;
    int wave;
    switch (instrument.autoVibratoType) {
    case 1: wave = phase > 127 ? 64 : -64; break;
    case 2: wave = (((phase >> 1) + 64) & 127) - 64; break;
    case 3: wave = (((0 - (phase >> 1)) + 64) & 127) - 64; break;
    default: wave = -autoVibratoWave(0, phase); break;
    }
    channel.periodDelta -= (wave * amplitude) >> 14;
}

}  // namespace

void stepAutoVibrato(const PlaybackRules& rules, Channel& channel, const Instrument& instrument) {
    if (rules.autoVibratoAsFt2) {
        stepAutoVibratoAsFt2(channel, instrument);
        return;
    }
    int value = autoVibratoWave(instrument.autoVibratoType, channel.autoVibPos);
    value *= instrument.autoVibratoDepth;
    if (instrument.autoVibratoSweep != 0) value = value * channel.autoVibSweep / instrument.autoVibratoSweep;
    channel.periodDelta += value >> 6;  // arithmetic: negative values round down
    if (channel.autoVibSweep < instrument.autoVibratoSweep) channel.autoVibSweep += 1;
    channel.autoVibPos += instrument.autoVibratoRate;
    if (channel.autoVibPos > 255) channel.autoVibPos -= 256;
    channel.flags |= updateFrequency;
}

void applyVibrato(Channel& channel) {
    const std::int8_t phase = channel.vibratoPos;
    int wave;
    switch (channel.waveControl & 3) {
    case 0: wave = sineMagnitude(phase); break;
    case 1: wave = rampMagnitude(phase); break;
    default: wave = 255; break;
    }
    const int delta = ((wave * channel.vibratoDepth) >> 7) * 4;
    channel.periodDelta = phase >= 0 ? -delta : delta;
    channel.periodOffset = channel.periodDelta;
    channel.flags |= updateFrequency;
}

void advanceVibrato(Channel& channel) {
    channel.vibratoPos = advancePhase(channel.vibratoPos, channel.vibratoSpeed);
}

void stepTremolo(const PlaybackRules& rules, Channel& channel) {
    const std::int8_t phase = channel.tremoloPos;
    int wave;
    switch ((channel.waveControl >> 4) & 3) {
    case 1:
        // FT2 inverts its ramp by the vibrato's phase instead of the tremolo's.
        wave = rampMagnitude(rules.tremoloWaveformsAsFt2
                                 ? static_cast<std::int8_t>((phase & 31) | (channel.vibratoPos < 0 ? -32 : 0))
                                 : phase);
        break;
    case 2: wave = 255; break;
    case 3: wave = rules.tremoloWaveformsAsFt2 ? 255 : sineMagnitude(phase); break;  // FT2: a square
    default: wave = sineMagnitude(phase); break;  // the design's waveform 3 is a sine here
    }
    int delta = (wave * channel.tremoloDepth) >> 6;
    if (phase < 0) {
        if (channel.volume - delta < 0) delta = channel.volume;
        channel.volumeDelta = -delta;
    } else {
        channel.volumeDelta = channel.volume + delta > 64 ? 64 - channel.volume : delta;
    }
    channel.tremoloPos = advancePhase(phase, channel.tremoloSpeed);
    channel.flags |= updateVolume;
}

void stepTremor(Channel& channel) {
    if (channel.tremorCounter >= channel.tremorOn) channel.volumeDelta = -channel.volume;
    channel.tremorCounter += 1;
    if (channel.tremorCounter >= channel.tremorOn + channel.tremorOff) channel.tremorCounter = 0;
    channel.flags |= updateVolume;
}

void stepTremorAsFt2(Channel& channel) {
    bool audible = (channel.tremorCounter & 0x80) != 0;
    int left = (channel.tremorCounter & 0x7F) - 1;
    if (left < 0) {
        audible = !audible;
        left = audible ? channel.tremorMemory >> 4 : channel.tremorMemory & 15;
    }
    channel.tremorCounter = static_cast<std::uint8_t>((audible ? 0x80 : 0) | left);
    channel.volumeDelta = audible ? 0 : -channel.volume;
    channel.flags |= updateVolume | quickRamp;
}

std::int32_t ft2NotePeriod(const Module& module, std::uint8_t note, std::int8_t finetune) {
    const int sixteenths = finetune >> 3;
    if (module.flags & linearFrequencyTable) return 7680 - note * 64 - sixteenths * 4;
    return amigaPeriod(note, static_cast<std::int8_t>(sixteenths * 8));
}

std::int32_t semitonePeriod(const Module& module, std::int32_t period, std::int8_t finetune, int semitones) {
    const int sixteenths = finetune >> 3;
    // The nearest note: the highest whose lower half-semitone boundary lies above `period`.
    int note;
    if (module.flags & linearFrequencyTable) {
        const int room = 7680 + 32 - sixteenths * 4 - period;  // note < room / 64
        note = room > 0 ? (room + 63) / 64 - 1 : -((-room) / 64) - 1;
    } else {
        const int lowered = sixteenths * 8 - 64;  // half a semitone down, in 1/128
        for (note = 95; note > 0; --note) {
            const std::int32_t boundary =
                lowered >= -128 ? amigaPeriod(static_cast<std::uint8_t>(note), static_cast<std::int8_t>(lowered))
                                : amigaPeriod(static_cast<std::uint8_t>(note - 1), static_cast<std::int8_t>(lowered + 128));
            if (period < boundary) break;
        }
    }
    note = std::clamp(note, 0, 95) + semitones;
    // FT2's table stops at C-8 with finetune 0.
    if (note * 16 + sixteenths >= 96 * 16 - 1) return ft2NotePeriod(module, 96, 0);
    return ft2NotePeriod(module, static_cast<std::uint8_t>(note), finetune);
}

void stepTonePortamento(const PlaybackRules& rules, const Module& module, Channel& channel) {
    const std::int32_t speed = channel.portaSpeed * 4;
    if (!rules.tonePortamentoAsFt2) {
        if (channel.period < channel.portaTarget) {
            channel.period += speed;
            if (channel.period > channel.portaTarget) channel.period = channel.portaTarget;
        } else if (channel.period > channel.portaTarget) {
            channel.period -= speed;
            if (channel.period < channel.portaTarget) channel.period = channel.portaTarget;
        }
        channel.flags |= updateFrequency;
        return;
    }
    // FT2 slides in the direction its note fixed; at the target the direction becomes
    // "longer periods", so a period pushed past the target later snaps back to it.
    if (channel.portaDirection == 0) return;
    if (channel.portaDirection == 2) {
        channel.period -= speed;
        if (channel.period <= channel.portaTarget) {
            channel.period = channel.portaTarget;
            channel.portaDirection = 1;
        }
    } else {
        channel.period += speed;
        if (channel.period >= channel.portaTarget) {
            channel.period = channel.portaTarget;
            channel.portaDirection = 1;
        }
    }
    // FT2 plays the period itself, or with E3x the semitone nearest to it.
    channel.periodDelta =
        channel.glissando != 0 ? channel.period - semitonePeriod(module, channel.period, channel.noteFinetune, 0) : 0;
    channel.periodOffset = channel.periodDelta;
    channel.flags |= updateFrequency;
}

void slideVolumeUp(Channel& channel, int amount) {
    channel.volume = std::min(channel.volume + amount, 64);
    channel.volumeDelta = 0;
    channel.flags |= updateVolume;
}

void slideVolumeDown(Channel& channel, int amount) {
    channel.volume = std::max(channel.volume - amount, 0);
    channel.volumeDelta = 0;
    channel.flags |= updateVolume;
}

void setChannelVolume(Channel& channel, int volume) {
    channel.volume = volume;
    channel.volumeDelta = 0;
    channel.flags |= updateVolume | quickRamp;
}

void setChannelPanning(Channel& channel, int panning) {
    channel.panning = panning;
    channel.flags |= updatePanning | quickRamp;
}

void shiftPanning(Channel& channel, int amount) {
    channel.panning += amount;
    channel.flags |= updatePanning;
}

}  // namespace quarbtro
