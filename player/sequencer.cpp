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

void stepVolumeEnvelope(Channel& channel, const Instrument& instrument) {
    if ((instrument.volumeEnvelopeFlags & envelopeOn) && !channel.volEnvDone)
        stepEnvelope(channel, volumeEnvelopeState(channel), volumeEnvelopeShape(instrument), updateVolume);
}

void stepPanningEnvelope(Channel& channel, const Instrument& instrument) {
    if ((instrument.panningEnvelopeFlags & envelopeOn) && !channel.panEnvDone)
        stepEnvelope(channel, panningEnvelopeState(channel), panningEnvelopeShape(instrument), updatePanning);
}

void stepFadeOut(Channel& channel, const Instrument& instrument) {
    if (!channel.keyOff) return;
    channel.fadeOut -= instrument.volumeFadeout;
    if (channel.fadeOut < 0) channel.fadeOut = 0;
    channel.flags |= updateVolume;
}

void processChannelRow(Player& player, const Module& module, Channel& channel, const PatternCell& cell,
                       bool& positionJump) {
    const bool portamentoRow =
        cell.effect == effect::tonePortamento || cell.effect == effect::tonePortamentoVolumeSlide;
    if (cell.instrument != 0 && !portamentoRow) channel.instrument = cell.instrument - 1;
    if (hasNote(cell) && !portamentoRow) channel.keyNote = cell.note - 1;
    const SampleLookup found = lookUpSample(player, module, channel);
    if (found.instrumentValid && !portamentoRow) channel.sample = found.sample;

    const RowContext context{channel.volume, channel.period, channel.panning, positionJump};
    if (channel.lastEffect == effect::tremolo && cell.effect != effect::tremolo)
        channel.volume += channel.volumeDelta;  // the tremolo's last offset stays
    channel.lastEffect = cell.effect;
    channel.volumeDelta = 0;
    channel.flags = 0;

    if (hasNote(cell)) {
        channel.note = static_cast<std::uint8_t>(cell.note + found.sample->relativeNote - 1);
        channel.notePeriod = notePeriodOf(module, channel.note, found.sampleFinetune());
        if (!portamentoRow) channel.period = channel.notePeriod;
        channel.flags = trigger;
    }
    channel.flags |= updateFrequency | updateVolume;  // every row refreshes pitch and volume
    channel.periodDelta = 0;
    if (cell.instrument != 0) resetInstrument(channel, *found.sample);
    if (cell.volume != 0) volumeColumnRowTick(channel, cell.volume);
    if (cell.note == noteKeyOff || cell.effect == effect::keyOff) channel.keyOff = 1;

    const Instrument& instrument = *found.instrument;
    if (instrument.volumeEnvelopeFlags & envelopeOn) {
        stepVolumeEnvelope(channel, instrument);
    } else if (channel.keyOff) {
        channel.volEnvVolume = 0;  // without a volume envelope a key-off silences at once
    }
    stepPanningEnvelope(channel, instrument);
    stepFadeOut(channel, instrument);
    rowEffect(player, channel, cell, found, module, context);
    stepAutoVibrato(channel, instrument);
    updateVoice(player, channel, found.sample, module);
}

void processChannelTick(Player& player, const Module& module, Channel& channel, const PatternCell& cell) {
    const SampleLookup found = lookUpSample(player, module, channel);
    const Instrument& instrument = *found.instrument;
    channel.periodDelta = 0;
    channel.volumeDelta = 0;
    channel.flags = 0;
    stepVolumeEnvelope(channel, instrument);
    stepPanningEnvelope(channel, instrument);
    stepFadeOut(channel, instrument);
    volumeColumnLaterTick(channel, cell.volume);
    tickEffect(player, channel, cell, found, module);
    stepAutoVibrato(channel, instrument);
    updateVoice(player, channel, found.sample, module);
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
    if (module.instruments != nullptr && channel.instrument < module.instrumentCount) {
        const Instrument& instrument = module.instruments[channel.instrument];
        const std::uint8_t slot = instrument.sampleForNote[channel.keyNote];
        const Sample* sample = slot <= 15 ? instrument.samples[slot] : nullptr;
        if (sample == nullptr || sample == &emptySample) return {&instrument, &emptySample, true, nullptr};
        return {&instrument, sample, true, &player.sampleFinetunes[channel.instrument][slot]};
    }
    return {&emptyInstrument, &emptySample, false, nullptr};
}

std::int32_t notePeriodOf(const Module& module, std::uint8_t note, std::int8_t finetune) {
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

void resetInstrument(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.panning = sample.panning;
    channel.autoVibPos = 0;
    channel.autoVibSweep = 0;
    channel.volEnvVolume = 64;
    channel.volEnvPoint = 0;
    channel.volEnvTick = 0;
    channel.volEnvSlope = 0;
    channel.volEnvDone = 0;
    channel.panEnvPanning = 32;
    channel.panEnvPoint = 0;
    channel.panEnvTick = 0;
    channel.panEnvSlope = 0;
    channel.panEnvDone = 0;
    channel.keyOff = 0;
    channel.fadeOut = 65536;
    channel.tremorCounter = 0;
    // Waveforms 4..15 keep their phase across notes.
    if ((channel.waveControl & 0x0F) <= 3) channel.vibratoPos = 0;
    if ((channel.waveControl >> 4) <= 3) channel.tremoloPos = 0;
    channel.flags |= updateVolume | updatePanning;
}

void processRow(Player& player, const Module& module) {
    player.song.nextOrder = -1;
    player.song.nextRow = -1;
    const PatternCell* cells = currentRowCells(player.song, module);
    player.song.rowCells = cells;
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

std::int32_t sequencerTick(Player& player, const Module& module) {
    SongState& song = player.song;
    if (song.tick != 0) {
        processTick(player, module);
    } else {
        if (song.nextOrder >= 0) song.orderPosition = song.nextOrder;
        if (song.nextRow >= 0) song.row = song.nextRow;
        processRow(player, module);
        if (song.nextRow == -1) {
            song.nextRow = song.row + 1;
            if (song.nextRow >= rowCountAt(module, song.orderPosition)) {
                song.nextOrder = song.orderPosition + 1;
                if (song.nextOrder >= module.songLength) song.nextOrder = module.restartPosition;
                // A restart position outside the song has no pattern behind it: start over.
                if (song.nextOrder >= module.songLength || song.nextOrder < 0) song.nextOrder = 0;
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

void updateVoice(Player& player, Channel& channel, const Sample* sample, const Module& module) {
    Voice* voice = channel.voice;
    std::uint8_t requests = channel.flags;
    const std::int32_t period = channel.period + channel.periodDelta;
    if (period == 0) requests &= ~updateFrequency;  // no division by zero; the pitch stays

    if (requests & trigger) {
        if (voice->sample != nullptr) {
            // The old note still sounds: it fades out on this voice, the new one starts on the
            // partner.
            const std::ptrdiff_t index = voice - player.voices;
            Voice& partner = player.voices[index <= 31 ? index + 32 : index - 32];
            partner = *voice;
            partner.index = static_cast<std::int32_t>(&partner - player.voices);
            voice->mixVolume = 0;
            voice->volume = 0;
            voice->targetLeft = 0;
            voice->targetRight = 0;
            channel.voice = voice = &partner;
        }
        voice->sample = sample;
        if (voice->startOffset >= sample->loopStart + sample->loopLength) voice->startOffset = 0;
        voice->positionInt = voice->startOffset;
        voice->positionFrac = 0;
        voice->direction = forward;
        voice->startOffset = 0;
        voice->currentLeft = 0;
        voice->currentRight = 0;
        voice->rampRemaining = 0;  // every note fades in from silence
    }

    if (requests & updateVolume) {
        const std::int64_t product = static_cast<std::int64_t>(channel.volEnvVolume) *
                                     (channel.volume + channel.volumeDelta) * channel.fadeOut *
                                     player.song.globalVolume * 255;
        const std::int32_t volume = static_cast<std::int32_t>(product / (std::int64_t{1} << 35));
        voice->mixVolume = volume;
        voice->volume = volume;
        setTargets(*voice);
    }

    if (requests & updatePanning) {
        const std::int32_t envelopeRange = (128 - std::abs(channel.panning - 128)) / 32;
        std::int32_t pan = channel.panning + (channel.panEnvPanning - 32) * envelopeRange;
        if (pan < 0) pan = 0;
        if (pan > 255) pan = 255;
        voice->mixPanning = pan;
        voice->panning = pan;
        setTargets(*voice);
    }

    if (requests & updateFrequency) {
        const std::int32_t frequency = (module.flags & linearFrequencyTable)
                                           ? linearFrequency(channel.period, channel.periodDelta)
                                           : 14317056 / period;
        voice->frequency = frequency;
        const std::int64_t rate = player.outputRate;
        std::int64_t stepFrequency = frequency < 100 ? 100 : frequency;
        if (stepFrequency > rate * fastestStepFrames) stepFrequency = rate * fastestStepFrames;
        voice->stepInt = static_cast<std::uint32_t>(stepFrequency / rate);
        voice->stepFrac = static_cast<std::uint32_t>(((stepFrequency % rate) << 32) / rate);
    }

    if (requests & rewind) {
        voice->positionFrac = 0;
        voice->positionInt = 0;
        voice->startOffset = 0;
    }
}

}  // namespace quarbtro
