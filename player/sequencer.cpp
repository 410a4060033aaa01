#include "player/sequencer.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "player/effects.h"
#include "player/modulators.h"
#include "player/volume_column.h"

namespace quarbtro {

namespace {

// Steps faster than this many frames per output frame are held to it: the mixer's boundary
// search divides by the step shifted right by 8 in 32 bits.
constexpr std::int64_t fastestStepFrames = 255;

// A cell as the sequencer reads it: note values 97..254 mean nothing and count as no note.
PatternCell readCell(const PatternCell& stored) {
    PatternCell cell = stored;
    if (cell.note > lastNote && cell.note != noteKeyOff) cell.note = 0;
    return cell;
}

bool hasNote(const PatternCell& cell) { return cell.note != 0 && cell.note != noteKeyOff; }

bool isExtended(const PatternCell& cell, std::uint8_t command) {
    return cell.effect == effect::extended && (cell.effectParam >> 4) == command;
}

void stepVolumeEnvelope(const PlaybackRules& rules, Channel& channel, const Instrument& instrument) {
    if (!(instrument.volumeEnvelopeFlags & envelopeOn) || channel.volEnvDone) return;
    EnvelopeShape shape = volumeEnvelopeShape(instrument);
    shape.sustainLoopLeftAtKeyOff = rules.sustainLoopLeftAtKeyOff;
    stepEnvelope(channel, volumeEnvelopeState(channel), shape, updateVolume);
}

void stepPanningEnvelope(const PlaybackRules& rules, Channel& channel, const Instrument& instrument) {
    if (!(instrument.panningEnvelopeFlags & envelopeOn) || channel.panEnvDone) return;
    EnvelopeShape shape = panningEnvelopeShape(instrument);
    shape.sustainLoopLeftAtKeyOff = rules.sustainLoopLeftAtKeyOff;
    // FT2 releases the panning envelope's sustain only when the key-off finds it on its way
    // there: once it has held, it holds for good.
    if (rules.panningSustainNeverReleased) {
        shape.heldBeyondKeyOff = channel.panEnvHeld != 0;
        shape.held = &channel.panEnvHeld;
    }
    stepEnvelope(channel, panningEnvelopeState(channel), shape, updatePanning);
}

void stepFadeOut(Channel& channel, const Instrument& instrument) {
    if (!channel.keyOff) return;
    channel.fadeOut -= instrument.volumeFadeout;
    if (channel.fadeOut < 0) channel.fadeOut = 0;
    channel.flags |= updateVolume;
}

// What moves on every tick whatever the row holds: the envelopes and the fade-out.
void stepEnvelopes(const PlaybackRules& rules, Channel& channel, const Instrument& instrument) {
    stepVolumeEnvelope(rules, channel, instrument);
    stepPanningEnvelope(rules, channel, instrument);
    stepFadeOut(channel, instrument);
}

// How the row tick reads a cell.
struct RowRead {
    bool portamento;  // the note beside it is slid to, not started
    bool keyOff;      // the cell releases the key
    bool playsNote;   // the cell's note starts (or, on a portamento row, is aimed at)
    bool delayed;     // EDx: nothing of the cell acts before tick x
    bool retriggersLastNote;  // E90 without a note: FT2 starts the last note again
};

RowRead readRow(const PlaybackRules& rules, const PatternCell& cell) {
    RowRead read{};
    // E90 bypasses FT2's special rows: its note (or the last one) always starts.
    const bool retriggerRow = rules.retriggerAsFt2 && cell.effect == effect::extended && cell.effectParam == 0x90;
    read.portamento = cell.effect == effect::tonePortamento || cell.effect == effect::tonePortamentoVolumeSlide ||
                      (rules.volumeColumnPortamentoRow && (cell.volume >> 4) == 0xF);
    if (retriggerRow) read.portamento = false;
    const bool keyOffEffect = cell.effect == effect::keyOff && (cell.effectParam == 0 || !rules.keyOffAsNote);
    read.keyOff = cell.note == noteKeyOff || (keyOffEffect && !retriggerRow && !read.portamento);
    if (!rules.keyOffAsNote) read.keyOff = cell.note == noteKeyOff || cell.effect == effect::keyOff;
    // K00 as FT2 reads it is a key-off note: the note beside it is not played.
    read.playsNote = hasNote(cell) && !(rules.keyOffAsNote && read.keyOff);
    read.delayed = rules.noteDelayAsFt2 && isExtended(cell, effect::noteDelay) && (cell.effectParam & 15) != 0;
    read.retriggersLastNote = retriggerRow && cell.note == 0;
    return read;
}

// The tone portamento's target from a note on a portamento row; FT2 also fixes the direction.
void aimAtNote(const PlaybackRules& rules, const Module& module, Channel& channel, const PatternCell& cell,
               const SampleLookup& found) {
    channel.note = static_cast<std::uint8_t>(cell.note + found.sample->relativeNote - 1);
    const std::int8_t finetune = rules.instrumentOfPlayingNote ? channel.noteFinetune : found.sampleFinetune();
    channel.notePeriod = notePeriodOf(module, channel.note, finetune, rules);
    if (rules.tonePortamentoAsFt2) {
        channel.portaTarget = channel.notePeriod;
        channel.portaDirection = channel.notePeriod == channel.period ? 0 : channel.notePeriod > channel.period ? 1 : 2;
    }
}

// The row tick's period offset under periodOffsetPersists: FT2 drops it when the row before
// had an arpeggio, or a vibrato this row does not go on with; otherwise it stays. Records the
// row's effect as the channel's last.
void startRowPeriod(const PlaybackRules& rules, Channel& channel, const PatternCell& cell) {
    const bool vibrato = cell.effect == effect::vibrato || cell.effect == effect::vibratoVolumeSlide;
    const bool vibratoBefore = channel.lastEffect == effect::vibrato || channel.lastEffect == effect::vibratoVolumeSlide;
    const bool arpeggioBefore = channel.lastEffect == effect::arpeggio && channel.lastParameter != 0;
    if (!rules.periodOffsetPersists || arpeggioBefore || (vibratoBefore && !vibrato)) channel.periodOffset = 0;
    channel.periodDelta = rules.periodOffsetPersists ? channel.periodOffset : 0;
    channel.lastEffect = cell.effect;
    channel.lastParameter = cell.effectParam;
}

void processChannelRow(Player& player, const Module& module, Channel& channel, const PatternCell& cell,
                       bool& positionJump) {
    const PlaybackRules& rules = player.rules;
    const RowRead read = readRow(rules, cell);
    if (cell.instrument != 0 && (!read.portamento || rules.instrumentOfPlayingNote))
        channel.instrument = cell.instrument - 1;
    if (rules.envelopesOfNumberedNote && cell.instrument != 0 && read.playsNote && !read.portamento && !read.delayed)
        channel.envelopeInstrument = channel.instrument;
    if (read.delayed) {
        // FT2 leaves the whole cell to tick x; the envelopes run on.
        const SampleLookup found = lookUpSample(player, module, channel);
        startRowPeriod(rules, channel, cell);
        channel.flags = 0;
        stepEnvelopes(rules, channel, *found.instrument);
        stepAutoVibrato(rules, channel, *found.instrument);
        updateVoice(player, channel, found.sample, module);
        return;
    }
    const bool startsNote = read.playsNote && !read.portamento;
    if (startsNote) channel.keyNote = cell.note - 1;
    // FT2 starts the last note again for E90 (if there has been one).
    const bool restartsNote = startsNote || (read.retriggersLastNote && channel.sample != nullptr);
    if (rules.instrumentOfPlayingNote && restartsNote) chooseNoteSample(module, channel);
    const SampleLookup found = lookUpSample(player, module, channel);
    if (found.instrumentValid && !read.portamento && !rules.instrumentOfPlayingNote) channel.sample = found.sample;

    const RowContext context{channel.volume, channel.period, channel.panning, positionJump};
    if (channel.lastEffect == effect::tremolo && cell.effect != effect::tremolo && !rules.volumeOffsetPersists)
        channel.volume += channel.volumeDelta;  // the tremolo's last offset stays
    const bool keepsPeriodOffset = rules.periodOffsetPersists;
    if (keepsPeriodOffset) startRowPeriod(rules, channel, cell);
    channel.lastEffect = cell.effect;
    if (!rules.volumeOffsetPersists) channel.volumeDelta = 0;
    channel.flags = 0;

    if (restartsNote && rules.instrumentOfPlayingNote) {
        startNote(player, module, channel, found, cell.effect, cell.effectParam);
    } else if (read.playsNote && read.portamento && rules.instrumentOfPlayingNote) {
        aimAtNote(rules, module, channel, cell, found);
    } else if (read.playsNote) {
        channel.note = static_cast<std::uint8_t>(cell.note + found.sample->relativeNote - 1);
        channel.notePeriod = notePeriodOf(module, channel.note, found.sampleFinetune(), rules);
        if (!read.portamento) channel.period = channel.notePeriod;
        channel.flags = trigger;
    }
    channel.flags |= updateFrequency | updateVolume;  // every row refreshes pitch and volume
    if (!keepsPeriodOffset) channel.periodDelta = 0;
    const Instrument& instrument = *found.instrument;
    if (rules.keyOffAsNote) {
        // FT2 releases the key before it looks at the instrument number: an instrument beside a
        // key-off recalls the volume and panning but restarts nothing.
        if (read.keyOff) releaseKey(rules, channel, instrument);
        if (cell.instrument != 0) {
            recallSampleVolume(channel, *found.sample);
            if (!read.keyOff) restartEnvelopes(channel);
        }
    } else if (cell.instrument != 0) {
        resetInstrument(channel, *found.sample);
    }
    if (cell.volume != 0) volumeColumnRowTick(rules, module, channel, cell.volume);
    if (read.keyOff && !rules.keyOffAsNote) channel.keyOff = 1;

    if (!rules.envelopesAfterEffects) {
        if (instrument.volumeEnvelopeFlags & envelopeOn) {
            stepVolumeEnvelope(rules, channel, instrument);
        } else if (channel.keyOff && !rules.keyOffZeroesVolume) {
            channel.volEnvVolume = 0;  // without a volume envelope a key-off silences at once
        }
        stepPanningEnvelope(rules, channel, instrument);
        stepFadeOut(channel, instrument);
    }
    rowEffect(player, channel, cell, found, module, context);
    if (rules.envelopesAfterEffects) {
        // The effect may have started another sample (a retrigger): the envelopes are those of
        // the instrument playing now.
        stepEnvelopes(rules, channel, *lookUpSample(player, module, channel).instrument);
    }
    stepAutoVibrato(rules, channel, instrument);
    updateVoice(player, channel, lookUpSample(player, module, channel).sample, module);
}

void processChannelTick(Player& player, const Module& module, Channel& channel, const PatternCell& cell) {
    const PlaybackRules& rules = player.rules;
    const SampleLookup found = lookUpSample(player, module, channel);
    const Instrument& instrument = *found.instrument;
    channel.periodDelta = rules.periodOffsetPersists ? channel.periodOffset : 0;
    if (!rules.volumeOffsetPersists) channel.volumeDelta = 0;
    channel.flags = 0;
    if (!rules.envelopesAfterEffects) stepEnvelopes(rules, channel, instrument);
    volumeColumnLaterTick(rules, module, channel, cell.volume);
    tickEffect(player, channel, cell, found, module);
    const SampleLookup playing = rules.envelopesAfterEffects ? lookUpSample(player, module, channel) : found;
    if (rules.envelopesAfterEffects) stepEnvelopes(rules, channel, *playing.instrument);
    stepAutoVibrato(rules, channel, *playing.instrument);
    updateVoice(player, channel, playing.sample, module);
}

std::int32_t linearFrequency(std::int32_t period, std::int32_t periodDelta) {
    const double exponent = (4608.0 - period + periodDelta) / 768.0;
    const double frequency = 8363.0 * std::pow(2.0, exponent);
    if (frequency >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(frequency);
}

std::int32_t targetShare(std::int32_t volume, std::int32_t share) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(volume) * share / 255);
}

// Panning 0 is hard left and 255 hard right: the left target takes the 255 - pan share.
void setTargets(Voice& voice) {
    voice.targetLeft = targetShare(voice.mixVolume, 255 - voice.mixPanning);
    voice.targetRight = targetShare(voice.mixVolume, voice.mixPanning);
}

}  // namespace

SampleLookup lookUpSample(Player& player, const Module& module, const Channel& channel) {
    // FT2 keeps playing the instrument and sample its last note started, whatever instrument
    // number came since.
    const bool playing = player.rules.instrumentOfPlayingNote;
    const std::uint8_t number = playing ? channel.noteInstrument : channel.instrument;
    if (module.instruments != nullptr && number < module.instrumentCount) {
        const Instrument& instrument = module.instruments[number];
        const std::uint8_t slot = playing ? channel.noteSlot : instrument.sampleForNote[channel.keyNote];
        const Sample* sample = slot <= 15 ? instrument.samples[slot] : nullptr;
        // FT2 (envelopesOfNumberedNote): the envelopes may be another instrument's.
        const std::uint8_t enveloped = channel.envelopeInstrument;
        const Instrument* envelopes = !player.rules.envelopesOfNumberedNote ? &instrument
                                      : enveloped < module.instrumentCount ? &module.instruments[enveloped]
                                                                           : &emptyInstrument;
        if (sample == nullptr || sample == &emptySample) return {envelopes, &emptySample, true, nullptr};
        return {envelopes, sample, true, &player.sampleFinetunes[number][slot]};
    }
    return {&emptyInstrument, &emptySample, false, nullptr};
}

std::int32_t notePeriodOf(const Module& module, std::uint8_t note, std::int8_t finetune, const PlaybackRules& rules) {
    if (rules.finetuneInSixteenths) return ft2NotePeriod(module, note, finetune);
    if (module.flags & linearFrequencyTable) return 7680 - note * 64 - finetune / 2;
    return amigaPeriod(note, finetune);
}

const PatternCell* currentRowCells(const SongState& song, const Module& module) {
    if (song.orderPosition < 0 || song.orderPosition > 255 || module.patterns == nullptr) return nullptr;
    const std::int32_t number = module.orderTable[song.orderPosition];
    if (number >= module.patternCount) return nullptr;
    const Pattern& pattern = module.patterns[number];
    if (pattern.cells == nullptr || song.row < 0 || song.row >= pattern.rowCount) return nullptr;
    return pattern.cells + static_cast<std::ptrdiff_t>(song.row) * module.channelCount;
}

std::int32_t rowCountAt(const Module& module, std::int32_t orderPosition) {
    if (orderPosition < 0 || orderPosition > 255 || module.patterns == nullptr) return 0;
    const std::int32_t number = module.orderTable[orderPosition];
    return number < module.patternCount ? module.patterns[number].rowCount : 0;
}

void releaseKey(const PlaybackRules& rules, Channel& channel, const Instrument& instrument) {
    channel.keyOff = 1;
    if (rules.keyOffZeroesVolume && !(instrument.volumeEnvelopeFlags & envelopeOn)) setChannelVolume(channel, 0);
}

void recallSampleVolume(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.volumeDelta = 0;
    channel.panning = sample.panning;
    channel.flags |= updateVolume | updatePanning | quickRamp;
}

void restartEnvelopes(Channel& channel) {
    channel.autoVibPos = 0;
    channel.autoVibSweep = 0;
    channel.volEnvVolume = 64;
    channel.volEnvFine = 64 << 16;
    channel.volEnvPoint = 0;
    channel.volEnvTick = 0;
    channel.volEnvSlope = 0;
    channel.volEnvDone = 0;
    channel.panEnvPanning = 32;
    channel.panEnvFine = 32 << 16;
    channel.panEnvPoint = 0;
    channel.panEnvTick = 0;
    channel.panEnvSlope = 0;
    channel.panEnvDone = 0;
    channel.panEnvHeld = 0;
    channel.keyOff = 0;
    channel.fadeOut = 65536;
    channel.tremorCounter = 0;
    channel.retrigCounter = 0;
    // Waveforms 4..15 keep their phase across notes.
    if ((channel.waveControl & 0x0F) <= 3) channel.vibratoPos = 0;
    if ((channel.waveControl >> 4) <= 3) channel.tremoloPos = 0;
}

void resetInstrument(Channel& channel, const Sample& sample) {
    recallSampleVolume(channel, sample);
    restartEnvelopes(channel);
}

void chooseNoteSample(const Module& module, Channel& channel) {
    channel.noteInstrument = channel.instrument;
    channel.noteSlot = 0;
    if (module.instruments != nullptr && channel.instrument < module.instrumentCount)
        channel.noteSlot = module.instruments[channel.instrument].sampleForNote[channel.keyNote];
}

void startNote(Player& player, const Module& module, Channel& channel, const SampleLookup& found,
               std::uint8_t effectNumber, std::uint8_t parameter) {
    const PlaybackRules& rules = player.rules;
    channel.sample = found.sample;
    const int note = channel.keyNote + found.sample->relativeNote;
    // FT2's period table ends ten octaves up; a note beyond either end does not start.
    if (rules.notesOutOfRangeIgnored && (note < 0 || note >= 120)) return;
    std::int8_t finetune = found.sampleFinetune();
    if (rules.finetuneCommandAsFt2 && effectNumber == effect::extended && (parameter >> 4) == effect::setFinetune)
        finetune = static_cast<std::int8_t>(((parameter & 15) << 4) - 128);  // E5y, this note only
    channel.noteFinetune = finetune;
    channel.note = static_cast<std::uint8_t>(note);
    channel.periodDelta = 0;  // a note plays its own period
    channel.periodOffset = 0;
    channel.notePeriod = notePeriodOf(module, channel.note, finetune, rules);
    channel.period = channel.notePeriod;
    channel.flags |= trigger | updateFrequency | updateVolume | updatePanning;
    if (rules.sampleOffsetAsFt2) {
        // 9xx counts beside a note only; the offset is taken as the note starts.
        if (effectNumber == effect::sampleOffset && parameter != 0) channel.offsetMemory = parameter;
        channel.voice->startOffset =
            effectNumber == effect::sampleOffset ? static_cast<std::uint32_t>(channel.offsetMemory) * 256 : 0;
    }
}

void retriggerNote(Player& player, const Module& module, Channel& channel, bool restartsEnvelopes) {
    if (player.rules.instrumentOfPlayingNote) chooseNoteSample(module, channel);
    startNote(player, module, channel, lookUpSample(player, module, channel), 0, 0);
    if (restartsEnvelopes) restartEnvelopes(channel);
}

void processRow(Player& player, const Module& module) {
    SongState& song = player.song;
    song.nextOrder = -1;
    song.nextRow = -1;
    song.endsPattern = false;
    song.loopsBack = false;
    song.jumpsToOrder = false;
    song.fineDelayTicks = 0;
    const PatternCell* cells = currentRowCells(song, module);
    song.rowCells = cells;
    if (cells == nullptr) return;
    bool positionJump = false;
    for (int c = 0; c < module.channelCount && c < maxChannels; ++c)
        processChannelRow(player, module, player.channels[c], readCell(cells[c]), positionJump);
}

void processTick(Player& player, const Module& module) {
    const PatternCell* cells = player.song.rowCells;
    if (cells == nullptr) return;
    for (int c = 0; c < module.channelCount && c < maxChannels; ++c)
        processChannelTick(player, module, player.channels[c], readCell(cells[c]));
}

namespace {

// The order position after `order` at the song's end: the restart position, or 0 when that
// lies outside the song (no pattern was made for it).
std::int32_t orderAfter(const Module& module, std::int32_t order) {
    std::int32_t next = order + 1;
    if (next >= module.songLength) next = module.restartPosition;
    if (next >= module.songLength || next < 0) next = 0;
    return next;
}

// FT2's next row: a pattern loop goes back to the break row; the pattern ends at its last row
// or after B or D, and the next one starts at the break row, which a finished loop leaves at
// its start row.
void chooseNextRowAsFt2(SongState& song, const Module& module) {
    std::int32_t next = song.loopsBack ? song.breakRow : song.row + 1;
    if (next >= rowCountAt(module, song.orderPosition) || song.endsPattern) {
        next = song.breakRow;
        song.breakRow = 0;
        const std::int32_t order = song.jumpsToOrder ? song.jumpOrder - 1 : song.orderPosition;
        song.nextOrder = orderAfter(module, order);
    }
    song.nextRow = next;
}

}  // namespace

std::int32_t sequencerTick(Player& player, const Module& module) {
    SongState& song = player.song;
    if (song.tick != 0) {
        processTick(player, module);
    } else {
        if (song.nextOrder >= 0) song.orderPosition = song.nextOrder;
        if (song.nextRow >= 0) song.row = song.nextRow;
        processRow(player, module);
        // Each repeat of the row lasts the speed and the fine delay (X6x).
        song.repeatTicks = song.speed + song.fineDelayTicks;
        if (song.fineDelayTicks > 0 && song.speed > 0)
            song.patternDelayTicks = song.repeatTicks * (song.patternDelayTicks / song.speed + 1) - song.speed;
        if (player.rules.patternLoopAsFt2) {
            chooseNextRowAsFt2(song, module);
        } else if (song.nextRow == -1) {
            song.nextRow = song.row + 1;
            if (song.nextRow >= rowCountAt(module, song.orderPosition)) {
                song.nextOrder = orderAfter(module, song.orderPosition);
                song.nextRow = 0;
            }
        }
    }
    const std::int32_t rowTicks = song.speed + song.patternDelayTicks;
    song.tick += 1;
    if (song.tick >= rowTicks) {
        song.patternDelayTicks = 0;
        song.tick = 0;
    }
    return rowTicks;
}

namespace {

// FT2's linear frequency (the design's periodDelta raises the pitch, so the period heard is
// period - periodDelta): the period is taken in 16 bits, a table gives the frequency of its
// fraction of an octave 8 octaves up, and the octave shifts that right as the 386 does (by the
// shift count modulo 32), so periods past the table fall to 0 Hz or wrap around to high ones.
std::int32_t frequencyOfFt2LinearPeriod(std::int32_t period) {
    const std::uint32_t inverted = static_cast<std::uint32_t>(9216 - period) & 0xFFFF;
    const std::uint32_t octave = inverted / 768;
    const std::uint32_t step = inverted % 768;
    const auto eightOctavesUp = static_cast<std::uint32_t>(8363.0 * 256 * std::pow(2.0, step / 768.0));
    return static_cast<std::int32_t>(eightOctavesUp >> ((14 - static_cast<std::int32_t>(octave)) & 31));
}

// FT2's square-root pan law, in 16.16: the share of a side at `weight` 0..256 of 256.
std::int32_t panShare(std::int32_t volume, std::int32_t weight) {
    const double share = std::sqrt(weight / 256.0);
    return static_cast<std::int32_t>(volume * share);
}

void setTargets(const PlaybackRules& rules, Voice& voice) {
    if (rules.panLawAsFt2) {
        voice.targetLeft = panShare(voice.mixVolume, 256 - voice.mixPanning);
        voice.targetRight = panShare(voice.mixVolume, voice.mixPanning);
        return;
    }
    setTargets(voice);
}

}  // namespace

void updateVoice(Player& player, Channel& channel, const Sample* sample, const Module& module) {
    const PlaybackRules& rules = player.rules;
    Voice* voice = channel.voice;
    std::uint8_t requests = channel.flags;
    const std::int32_t period = channel.period + channel.periodDelta;
    if (period == 0) requests &= ~updateFrequency;  // no division by zero; the pitch stays
    // FT2 starts nothing for a note on an empty sample: what plays goes on.
    if (rules.emptyNotesKeepPlaying && sample->data == nullptr) requests &= ~trigger;

    if (requests & trigger) {
        if (voice->sample != nullptr) {
            // The old note still sounds: it fades out on this voice, the new one starts on the
            // partner.
            const std::ptrdiff_t index = voice - player.voices;
            Voice& partner = player.voices[index <= 31 ? index + 32 : index - 32];
            partner = *voice;
            partner.index = static_cast<std::int32_t>(&partner - player.voices);
            partner.tailLeft = 0;  // an ended sample's fading tail stays with the old voice
            partner.tailRight = 0;
            voice->mixVolume = 0;
            voice->volume = 0;
            voice->targetLeft = 0;
            voice->targetRight = 0;
            voice->rampFrames = 0;  // the old note fades out quickly
            channel.voice = voice = &partner;
        }
        voice->sample = sample;
        // FT2: an offset past the sample's end starts a note that ends at once.
        if (rules.sampleOffsetAsFt2 && voice->startOffset >= sample->length) voice->sample = nullptr;
        if (voice->startOffset >= sample->loopStart + sample->loopLength) voice->startOffset = 0;
        voice->positionInt = voice->startOffset;
        voice->positionFrac = 0;
        voice->direction = forward;
        voice->looped = 0;
        voice->startOffset = 0;
        voice->currentLeft = 0;
        voice->currentRight = 0;
        voice->rampRemaining = 0;  // every note fades in from silence
    }

    std::int32_t volume = voice->mixVolume;
    if (requests & updateVolume) {
        // Fine voice volumes keep 8 more bits (0..32,512 instead of 0..127) and the envelope's
        // fraction (16.16).
        const std::int64_t envelope = rules.fineVoiceVolumes ? channel.volEnvFine : channel.volEnvVolume;
        const std::int64_t product = envelope * (channel.volume + channel.volumeDelta) * channel.fadeOut *
                                     player.song.globalVolume * 255;
        const int shift = rules.fineVoiceVolumes ? 27 + 16 : 35;
        volume = static_cast<std::int32_t>(product / (std::int64_t{1} << shift));
    }
    // FT2 spreads slid volumes and pannings over the tick; set ones, notes and changes from or
    // to silence ramp quickly.
    if (rules.volumeRampsAsFt2 && (requests & (updateVolume | updatePanning))) {
        const bool quick = (requests & (quickRamp | trigger)) || volume == 0 || voice->mixVolume == 0;
        voice->rampFrames = quick ? 0 : player.song.samplesPerTick;
    }

    if (requests & updateVolume) {
        voice->mixVolume = volume;
        voice->volume = volume;
        setTargets(rules, *voice);
    }

    if (requests & updatePanning) {
        const std::int32_t envelopeRange = (128 - std::abs(channel.panning - 128)) / 32;
        std::int32_t pan = rules.fineVoiceVolumes
                               ? channel.panning + static_cast<std::int32_t>(
                                                       (std::int64_t{channel.panEnvFine - (32 << 16)} * envelopeRange) >> 16)
                               : channel.panning + (channel.panEnvPanning - 32) * envelopeRange;
        if (pan < 0) pan = 0;
        if (pan > 255) pan = 255;
        voice->mixPanning = pan;
        voice->panning = pan;
        setTargets(rules, *voice);
    }

    if (requests & updateFrequency) {
        std::int32_t frequency;
        if (!(module.flags & linearFrequencyTable)) frequency = 14317056 / period;
        else if (rules.periodLimitsAsFt2) frequency = frequencyOfFt2LinearPeriod(channel.period - channel.periodDelta);
        else frequency = linearFrequency(channel.period, channel.periodDelta);
        voice->frequency = frequency;
        const std::int64_t rate = player.outputRate;
        // FT2 lets a voice stand still at 0 Hz; the design steps at 100 Hz at least.
        const std::int64_t lowest = rules.periodLimitsAsFt2 ? 0 : 100;
        std::int64_t stepFrequency = frequency < lowest ? lowest : frequency;
        if (stepFrequency > rate * fastestStepFrames) stepFrequency = rate * fastestStepFrames;
        voice->stepInt = static_cast<std::uint32_t>(stepFrequency / rate);
        voice->stepFrac = static_cast<std::uint32_t>(((stepFrequency % rate) << 32) / rate);
    }

    if (requests & rewind) {
        voice->positionFrac = 0;
        voice->positionInt = 0;
        voice->startOffset = 0;
        voice->looped = 0;
    }
}

}  // namespace quarbtro
