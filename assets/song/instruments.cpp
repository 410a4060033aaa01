#include "assets/song/instruments.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

#include "assets/song/synth.h"

namespace quarbtro::song {

namespace {

// Drum rates are whole semitones above 8363 Hz, so C-4 plays them at their own rate with a
// finetune of 0.
const double kickRate = 8363.0 * std::pow(2.0, 7 / 12.0);    // 12,530 Hz
const double snareRate = 8363.0 * std::pow(2.0, 15 / 12.0);  // 19,890 Hz
const double hatRate = 8363.0 * 4;                           // 33,452 Hz
const double cymbalRate = 8363.0 * std::pow(2.0, 19 / 12.0); // 25,060 Hz

// A sample as designed: PCM frames, a loop (none when loopLength is 0), tuning and mix, and
// whether it is stored at 8 bits (the drums: their noise hides the coarser steps, and the file
// stays small).
struct SampleDesign {
    std::vector<std::int16_t> frames;
    Tuning tuning;
    std::uint8_t volume;
    std::int32_t panning;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    bool eightBit = false;
};

struct Envelope {
    std::vector<EnvelopePoint> points;
    int sustainPoint = -1;  // -1: no sustain
};

void addSample(ModuleDraft& draft, int index, SampleDesign design) {
    bool loops = design.loopLength > 0;
    Sample& sample = draft.addSample(index, std::move(design.frames));
    sample.volume = design.volume;
    sample.panning = design.panning;
    sample.relativeNote = design.tuning.relativeNote;
    sample.finetune = design.tuning.finetune;
    if (design.eightBit) sample.bits = 8;
    if (loops) {
        sample.loopType = loopForward;
        sample.loopStart = design.loopStart;
        sample.loopLength = design.loopLength;
    }
}

std::uint8_t addInstrument(ModuleDraft& draft, SampleDesign design, const Envelope& volume,
                           std::uint16_t fadeout) {
    int index = draft.addInstrument();
    addSample(draft, index, std::move(design));
    Instrument& instrument = draft.instrument(index);
    std::copy(volume.points.begin(), volume.points.end(), instrument.volumeEnvelope);
    instrument.volumePointCount = std::uint8_t(volume.points.size());
    if (volume.points.size() >= 2) instrument.volumeEnvelopeFlags = envelopeOn;
    if (volume.sustainPoint >= 0) {
        instrument.volumeSustainPoint = std::uint8_t(volume.sustainPoint);
        instrument.volumeEnvelopeFlags |= envelopeSustain;
    }
    instrument.volumeFadeout = fadeout;
    return std::uint8_t(index + 1);
}

// Kick: a sine sweeping down from about 410 Hz to 60 Hz and dying within a tenth of a second,
// saturated hard so that its knock (the odd harmonics of the sweep) carries on small speakers,
// and a click of noise between 1 and 3 kHz. Played above C-4 it becomes a tom.
Signal kick() {
    Signal signal(std::size_t(0.15 * kickRate));
    Noise noise(0x6b69636b);
    OnePole clickLowpass(3000, kickRate), clickHighpassA(1000, kickRate),
        clickHighpassB(1000, kickRate);
    double phase = 0;
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / kickRate;
        double body = std::sin(2 * pi * phase) * std::exp(-t / 0.06);
        phase += (60 + 200 * std::exp(-t / 0.025) + 150 * std::exp(-t / 0.006)) / kickRate;
        double band = clickHighpassB.highpass(clickHighpassA.highpass(clickLowpass.lowpass(
            noise.next())));
        double click = 2.5 * band * std::exp(-t / 0.0025);
        signal[k] = saturate(body + click, 3.0);
    }
    fadeIn(signal, 8);
    fadeOut(signal, std::size_t(0.03 * kickRate));
    return signal;
}

// Snare: a drum-head tone with its overtone, both falling slightly in pitch, under noise
// band-limited to 1.2..7 kHz with a sharp snap at the start.
Signal snare() {
    Signal signal(std::size_t(0.18 * snareRate));
    Noise noise(0x736e6172);
    OnePole highpassA(1200, snareRate), highpassB(1200, snareRate), lowpass(7000, snareRate);
    double phase = 0, overtonePhase = 0;
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / snareRate;
        double frequency = 180 + 80 * std::exp(-t / 0.010);
        double tone = std::sin(2 * pi * phase) * std::exp(-t / 0.045) * 0.8 +
                      std::sin(2 * pi * overtonePhase) * std::exp(-t / 0.020) * 0.35;
        phase += frequency / snareRate;
        overtonePhase += 1.78 * frequency / snareRate;
        double hiss = lowpass.lowpass(highpassB.highpass(highpassA.highpass(noise.next())));
        double noiseLevel = 0.9 * std::exp(-t / 0.050) + 0.6 * std::exp(-t / 0.004);
        signal[k] = saturate(1.3 * tone + 1.2 * hiss * noiseLevel, 1.5);
    }
    fadeIn(signal, 12);
    fadeOut(signal, std::size_t(0.03 * snareRate));
    return signal;
}

// Closed hi-hat: six square oscillators at inharmonic ratios (a metallic cluster) and white
// noise, both between 5 and 10 kHz, decaying within a few tens of milliseconds.
Signal hat() {
    Signal signal(std::size_t(0.06 * hatRate));
    Noise noise(0x68617421);
    OnePole highpassA(5000, hatRate), highpassB(5000, hatRate), lowpassA(10000, hatRate),
        lowpassB(10000, hatRate);
    const double metal[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / hatRate;
        double cluster = 0;
        for (double frequency : metal) {
            cluster += std::sin(2 * pi * frequency * 5.3 * t) > 0 ? 1 : -1;
        }
        double source = cluster / 6 * 0.7 + noise.next() * 0.6;
        double band = lowpassB.lowpass(lowpassA.lowpass(highpassB.highpass(highpassA.highpass(
            source))));
        signal[k] = saturate(band * std::exp(-t / 0.022), 2.0);
    }
    fadeIn(signal, 20);
    fadeOut(signal, std::size_t(0.015 * hatRate));
    return signal;
}

// Cymbal: inharmonic partials and noise above 2.5 kHz, brighter at the strike, settling into a
// steady wash that loops. The loop's last frames are cross-faded into the frames just before it,
// so the wrap continues the noise without a seam; the instrument's envelope lets it ring out
// over a second. Choked early, by a key-off or the next hit, it is an open hi-hat.
constexpr std::size_t cymbalStrike = 1536, cymbalLoop = 2560, cymbalSeam = 512;
Signal cymbal() {
    Signal signal(cymbalStrike + cymbalLoop);
    Noise noise(0x63796d62);
    OnePole highpassA(2500, cymbalRate), highpassB(2500, cymbalRate), lowpass(10000, cymbalRate);
    const double partials[] = {3127, 4289, 5053, 5911, 6703, 7541, 8617, 9871};
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / cymbalRate;
        double strike = k < cymbalStrike ? 1 - double(k) / cymbalStrike : 0;
        double metal = 0;
        for (int i = 0; i < 8; ++i) metal += std::sin(2 * pi * partials[i] * t + 1.7 * i) / 8;
        double hiss = lowpass.lowpass(highpassB.highpass(highpassA.highpass(noise.next())));
        signal[k] = (0.6 + 0.4 * strike * strike) * (0.5 * metal + 1.4 * hiss);
    }
    for (std::size_t i = 0; i < cymbalSeam; ++i) {
        // Equal power: the two noises are unrelated.
        double angle = pi / 2 * double(i + 1) / cymbalSeam;
        double& end = signal[signal.size() - cymbalSeam + i];
        end = std::cos(angle) * end + std::sin(angle) * signal[cymbalStrike - cymbalSeam + i];
    }
    fadeIn(signal, 16);
    return signal;
}

// A waveform made cycle by cycle: `cycles` cycles of `period` frames, the harmonics of each
// frame given by harmonicsAt(cycle position). The last cycle is held constant, so looping it
// (whole periods, starting at a zero crossing) continues the sound without a step.
template <typename HarmonicsAt>
Signal evolvingCycles(int period, int cycles, HarmonicsAt harmonicsAt) {
    Signal signal(std::size_t(period) * cycles);
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double position = std::min(double(k) / period, double(cycles - 1));
        signal[k] = harmonicWave(harmonicsAt(position), double(k % period) / period);
    }
    return signal;
}

// Bass: a sawtooth whose low-pass closes from the 25th harmonic to about the 5th over the first
// cycles, with a little resonance at the cutoff. It stays bright enough that its second to
// fifth harmonics, not its fundamental, carry most of its loudness: the notes keep their pitch
// on speakers without low end.
constexpr int bassPeriod = 64, bassCycles = 24;
Signal bass() {
    return evolvingCycles(bassPeriod, bassCycles, [](double cycle) {
        double cutoff = 5.5 + 20 * std::exp(-cycle / 4);
        std::vector<double> amplitudes = sawHarmonics(28, cutoff);
        for (std::size_t h = 0; h < amplitudes.size(); ++h) {
            double distance = (double(h + 1) - cutoff) / 1.2;
            amplitudes[h] *= 1 + 0.5 * std::exp(-distance * distance);
        }
        amplitudes[0] *= 0.85;
        return amplitudes;
    });
}

// Pluck: a bright tone (with a bell-like third harmonic at first) mellowing to nearly a sine.
constexpr int pluckPeriod = 32, pluckCycles = 48;
Signal pluck() {
    return evolvingCycles(pluckPeriod, pluckCycles, [](double cycle) {
        std::vector<double> amplitudes = sawHarmonics(14, 1.5 + 12 * std::exp(-cycle / 6));
        amplitudes[2] += 0.15 * std::exp(-cycle / 3);
        return amplitudes;
    });
}

// Lead: sawtooths of 127, 128 and 129 cycles over a 4,096-frame loop (about 13 cents apart,
// beating a few times a second) and a square at the middle one's pitch for a hollow body, all
// rolled off above the fourth harmonic: a round voice that sings over the mix without adding
// glare. Every component makes whole cycles over the loop, so it repeats seamlessly from
// frame 0.
constexpr int leadLoop = 4096, leadCycles = 128;
Signal lead() {
    constexpr double cutoff = 4;  // harmonic
    std::vector<double> saw = sawHarmonics(15, cutoff);
    std::vector<double> square(15, 0.0);
    for (int h = 1; h <= 15; h += 2) {
        square[h - 1] = std::sqrt(1.0 / (1.0 + std::pow(h / cutoff, 4))) / h;
    }
    Signal signal(leadLoop);
    for (int k = 0; k < leadLoop; ++k) {
        double position = double(k) / leadLoop;
        double value = 0;
        for (int cycles : {leadCycles - 1, leadCycles, leadCycles + 1}) {
            value += harmonicWave(saw, cycles * position);
        }
        signal[k] = value + 0.6 * harmonicWave(square, leadCycles * position);
    }
    // The voices line up into tall peaks a few times a second; rounding those off keeps the
    // lead loud for its peak level.
    double largest = 0;
    for (double value : signal) largest = std::max(largest, std::abs(value));
    for (double& value : signal) value = saturate(value / largest, 1.5);
    return signal;
}

// A chord as one loop: each voice (cycles over the loop, level) a soft sawtooth low-passed
// around 1.6 kHz at the chord's intended pitch (rootHz). Voices in whole cycles per loop make
// a just-intoned chord that repeats exactly.
Signal chordLoop(int loopFrames, std::initializer_list<std::pair<int, double>> voices,
                 int rootCycles, double rootHz) {
    Signal signal(loopFrames);
    double hzPerCycle = rootHz / rootCycles;
    for (auto [cycles, level] : voices) {
        for (int h = 1; cycles * h < loopFrames * 0.45; ++h) {
            double frequency = cycles * h * hzPerCycle;
            double amplitude = level / std::pow(h, 1.1) / (1 + std::pow(frequency / 1600, 2));
            for (int k = 0; k < loopFrames; ++k) {
                signal[k] += amplitude * std::sin(2 * pi * cycles * h * double(k) / loopFrames);
            }
        }
    }
    return signal;
}

// Root, third, fifth and octave: 4:5:6:8 (major) and 10:12:15:20 (minor), 64 frames to a
// period of the root. The third sits inside the chord, below the melody's range.
constexpr int majorLoop = 256, majorRootCycles = 4;
constexpr int minorLoop = 640, minorRootCycles = 10;
Signal majorChord() {
    return chordLoop(majorLoop, {{4, 1.0}, {5, 0.7}, {6, 0.75}, {8, 0.6}}, majorRootCycles, 220);
}
Signal minorChord() {
    return chordLoop(minorLoop, {{10, 1.0}, {12, 0.7}, {15, 0.75}, {20, 0.6}}, minorRootCycles,
                     220);
}

// Tuning of looped content that makes `cycles` fundamental cycles in `frames` frames; the rate
// it is labelled with does not matter, only the ratio.
Tuning loopTuning(int frames, int cycles) { return pitchTuning(cycles, frames); }

// The pad: the minor chord below padMajorNote, the major one from there up (played
// padMajorShift semitones lower). A new pad swells in over a quarter of a second and holds;
// released, it fades over half a second. Its samples' own volume is low: a pad starts anew
// only to swell in, and the patterns give it its level.
std::uint8_t addPad(ModuleDraft& draft) {
    const Envelope swellIn{{{0, 8}, {24, 64}}, 1};
    constexpr std::uint8_t startingVolume = 8;
    std::uint8_t number = addInstrument(
        draft, {toPcm(minorChord(), 0.9), loopTuning(minorLoop, minorRootCycles), startingVolume,
                128, 0, std::uint32_t(minorLoop)},
        swellIn, 1536);
    Tuning major = loopTuning(majorLoop, majorRootCycles);
    major.relativeNote = std::int8_t(major.relativeNote - padMajorShift);
    addSample(draft, number - 1,
              {toPcm(majorChord(), 0.9), major, startingVolume, 128, 0, std::uint32_t(majorLoop)});
    Instrument& instrument = draft.instrument(number - 1);
    for (int note = padMajorNote - 1; note < 96; ++note) instrument.sampleForNote[note] = 1;
    instrument.autoVibratoType = 0;
    instrument.autoVibratoSweep = 60;
    instrument.autoVibratoDepth = 3;
    instrument.autoVibratoRate = 4;
    return number;
}

}  // namespace

Instruments addInstruments(ModuleDraft& draft) {
    Instruments numbers{};
    numbers.kick = addInstrument(
        draft, {toPcm8(kick(), 0.97), rateTuning(kickRate), 64, 128, 0, 0, true}, {}, 0);
    numbers.snare = addInstrument(
        draft, {toPcm8(snare(), 0.97), rateTuning(snareRate), 40, 134, 0, 0, true}, {}, 0);
    numbers.hat = addInstrument(
        draft, {toPcm8(hat(), 0.97), rateTuning(hatRate), 32, 160, 0, 0, true}, {}, 0);
    numbers.cymbal = addInstrument(
        draft,
        {toPcm8(cymbal(), 0.97), rateTuning(cymbalRate), 28, 100, std::uint32_t(cymbalStrike),
         std::uint32_t(cymbalLoop), true},
        {{{0, 64}, {5, 46}, {40, 22}, {100, 0}}}, 8192);

    numbers.bass = addInstrument(
        draft,
        {toPcm(bass(), 0.95), loopTuning(bassPeriod, 1), 64, 128,
         std::uint32_t(bassPeriod * (bassCycles - 1)), std::uint32_t(bassPeriod)},
        {{{0, 64}, {8, 56}, {40, 52}}, 2}, 8192);
    numbers.lead = addInstrument(
        draft, {toPcm(lead(), 0.95), loopTuning(leadLoop, leadCycles), 36, 128, 0, leadLoop},
        {{{0, 40}, {2, 64}, {14, 50}}, 2}, 4096);
    numbers.pluck = addInstrument(
        draft,
        {toPcm(pluck(), 0.95), loopTuning(pluckPeriod, 1), 56, 96,
         std::uint32_t(pluckPeriod * (pluckCycles - 1)), std::uint32_t(pluckPeriod)},
        {{{0, 64}, {3, 44}, {14, 20}, {48, 0}}}, 4096);
    numbers.pad = addPad(draft);
    return numbers;
}

}  // namespace quarbtro::song
