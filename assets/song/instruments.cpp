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

// Kick: a click of noise between 1.5 and 5 kHz and a knock that falls within a few
// milliseconds onto a body settling at 46 Hz, which holds for a few cycles and is gone after
// 0.12 s: weight under the mix without a boom between the beats. Saturated, so that the body
// is full from its start and its third harmonic (near 140 Hz) carries it on small speakers.
// Played above C-4 it becomes a tom.
Signal kick() {
    constexpr double bodyLength = 0.12;  // s
    Signal signal(std::size_t(bodyLength * kickRate));
    Noise noise(0x6b69636b);
    OnePole clickLowpass(5000, kickRate), clickHighpassA(1500, kickRate),
        clickHighpassB(1500, kickRate);
    double phase = 0;
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / kickRate;
        double body = std::sin(2 * pi * phase) * (0.5 + 0.5 * std::cos(pi * t / bodyLength));
        phase += (46 + 90 * std::exp(-t / 0.016) + 260 * std::exp(-t / 0.0035)) / kickRate;
        double band = clickHighpassB.highpass(clickHighpassA.highpass(clickLowpass.lowpass(
            noise.next())));
        double click = 3.0 * band * std::exp(-t / 0.002);
        signal[k] = saturate(body + click, 5.0);
    }
    fadeIn(signal, 4);
    fadeOut(signal, std::size_t(0.01 * kickRate));
    return signal;
}

// Snare: a drum-head tone with its overtone, both falling slightly in pitch, under a crack of
// noise band-limited to 1..3.5 kHz: a sharp snap at the start, then a rattle that dies within a
// tenth of a second. Saturated, so that it stays loud for its peak.
Signal snare() {
    Signal signal(std::size_t(0.2 * snareRate));
    Noise noise(0x736e6172);
    OnePole highpassA(1000, snareRate), highpassB(1000, snareRate), lowpassA(3500, snareRate),
        lowpassB(3500, snareRate);
    double phase = 0, overtonePhase = 0;
    for (std::size_t k = 0; k < signal.size(); ++k) {
        double t = k / snareRate;
        double frequency = 160 + 60 * std::exp(-t / 0.008);
        double tone = std::sin(2 * pi * phase) * std::exp(-t / 0.04) * 0.8 +
                      std::sin(2 * pi * overtonePhase) * std::exp(-t / 0.015) * 0.35;
        phase += frequency / snareRate;
        overtonePhase += 1.78 * frequency / snareRate;
        double hiss = lowpassB.lowpass(lowpassA.lowpass(highpassB.highpass(highpassA.highpass(
            noise.next()))));
        double noiseLevel = 1.0 * std::exp(-t / 0.06) + 1.2 * std::exp(-t / 0.005);
        signal[k] = saturate(tone + 2.2 * hiss * noiseLevel, 2.5);
    }
    fadeIn(signal, 6);
    fadeOut(signal, std::size_t(0.04 * snareRate));
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
// cycles, with a little resonance at the cutoff and its second to fourth harmonics raised:
// played from E-1 (41 Hz) its fundamental gives the weight, and those harmonics carry its notes
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
        amplitudes[1] *= 1.3;
        amplitudes[2] *= 1.5;
        amplitudes[3] *= 1.3;
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
// beating a few times a second) and a square at the middle one's pitch for a hollow body,
// rolled off above the eighth harmonic with a formant over the fourth to sixth: for the notes
// the tune sings (A4 to C6) it lies between 2 and 3 kHz, above the chords and the bass, where
// the ear is keenest. Every component makes whole cycles over the loop, so it repeats seamlessly
// from frame 0.
constexpr int leadLoop = 4096, leadCycles = 128;
Signal lead() {
    constexpr double cutoff = 8;  // harmonic
    auto formant = [](int harmonic) {
        double distance = (harmonic - 4.8) / 1.3;
        return 1 + 0.5 * std::exp(-distance * distance);
    };
    std::vector<double> saw = sawHarmonics(15, cutoff);
    std::vector<double> square(15, 0.0);
    for (int h = 1; h <= 15; ++h) {
        saw[h - 1] *= formant(h);
        if (h % 2) square[h - 1] = std::sqrt(1.0 / (1.0 + std::pow(h / cutoff, 4))) / h;
    }
    Signal signal(leadLoop);
    for (int k = 0; k < leadLoop; ++k) {
        double position = double(k) / leadLoop;
        double value = 0;
        for (int cycles : {leadCycles - 1, leadCycles, leadCycles + 1}) {
            value += harmonicWave(saw, cycles * position);
        }
        signal[k] = value + 0.5 * harmonicWave(square, leadCycles * position);
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

// The pad's voicings as loops of 64 frames to a period of the chord's root, whether or not
// the root sounds: each voice (cycles over the loop, level) in whole cycles, so the chord is
// just-intoned and repeats exactly. No voice doubles another an octave up: the chords stay thin
// under the melody.
struct Voicing {
    int loopFrames;
    int rootCycles;
    std::initializer_list<std::pair<int, double>> voices;
};
const Voicing padVoicings[padVoicingCount] = {
    {640, 10, {{10, 1.0}, {12, 0.7}, {15, 0.75}}},          // minor: 10:12:15
    {256, 4, {{4, 1.0}, {5, 0.7}, {6, 0.75}}},              // major: 4:5:6
    {256, 4, {{5, 1.0}, {6, 0.75}, {8, 0.7}}},              // third lowest: 5:6:8
    {256, 4, {{3, 1.0}, {4, 0.75}, {5, 0.7}}},              // fifth lowest: 3:4:5
    {512, 8, {{8, 1.0}, {10, 0.7}, {12, 0.7}, {15, 0.6}}},  // major seventh: 8:10:12:15
};

// Tuning of looped content that makes `cycles` fundamental cycles in `frames` frames; the rate
// it is labelled with does not matter, only the ratio.
Tuning loopTuning(int frames, int cycles) { return pitchTuning(cycles, frames); }

// The pad: a chord sample for each voicing, on its twelve keys (see padNote). A new pad swells
// in over a quarter of a second and holds; released, it fades over half a second. Its samples'
// own volume is low: a pad starts anew only to swell in, and the patterns give it its level.
std::uint8_t addPad(ModuleDraft& draft) {
    const Envelope swellIn{{{0, 8}, {24, 64}}, 1};
    constexpr std::uint8_t startingVolume = 8;
    int index = -1;
    for (int voicing = 0; voicing < padVoicingCount; ++voicing) {
        const Voicing& design = padVoicings[voicing];
        Tuning tuning = loopTuning(design.loopFrames, design.rootCycles);
        tuning.relativeNote = std::int8_t(tuning.relativeNote - padKeyOffset(PadVoicing(voicing)));
        SampleDesign sample{toPcm(chordLoop(design.loopFrames, design.voices, design.rootCycles,
                                            220),
                                  0.9),
                            tuning, startingVolume, 128, 0, std::uint32_t(design.loopFrames)};
        if (voicing == 0) {
            index = addInstrument(draft, std::move(sample), swellIn, 1536) - 1;
        } else {
            addSample(draft, index, std::move(sample));
        }
    }
    Instrument& instrument = draft.instrument(index);
    for (int note = 1; note <= 96; ++note) {
        int voicing = std::clamp((note - padFirstKey) / 12, 0, padVoicingCount - 1);
        instrument.sampleForNote[note - 1] = std::uint8_t(voicing);
    }
    instrument.autoVibratoType = 0;
    instrument.autoVibratoSweep = 60;
    instrument.autoVibratoDepth = 3;
    instrument.autoVibratoRate = 4;
    return std::uint8_t(index + 1);
}

}  // namespace

Instruments addInstruments(ModuleDraft& draft) {
    Instruments numbers{};
    numbers.kick = addInstrument(
        draft, {toPcm8(kick(), 0.97), rateTuning(kickRate), 64, 128, 0, 0, true}, {}, 0);
    numbers.snare = addInstrument(
        draft, {toPcm8(snare(), 0.97), rateTuning(snareRate), 64, 134, 0, 0, true}, {}, 0);
    numbers.hat = addInstrument(
        draft, {toPcm8(hat(), 0.97), rateTuning(hatRate), 64, 160, 0, 0, true}, {}, 0);
    numbers.cymbal = addInstrument(
        draft,
        {toPcm8(cymbal(), 0.97), rateTuning(cymbalRate), 28, 100, std::uint32_t(cymbalStrike),
         std::uint32_t(cymbalLoop), true},
        {{{0, 64}, {5, 46}, {40, 22}, {100, 0}}}, 8192);

    // The bass and the lead peak at three quarters of full scale, under the drums: the beat
    // stands out over the sustained parts. Each bass note is struck, falling to about half its
    // level within half a second.
    numbers.bass = addInstrument(
        draft,
        {toPcm(bass(), 0.75), loopTuning(bassPeriod, 1), 64, 128,
         std::uint32_t(bassPeriod * (bassCycles - 1)), std::uint32_t(bassPeriod)},
        {{{0, 64}, {3, 54}, {16, 42}, {40, 36}}, 3}, 8192);
    numbers.lead = addInstrument(
        draft, {toPcm(lead(), 0.75), loopTuning(leadLoop, leadCycles), 36, 128, 0, leadLoop},
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
