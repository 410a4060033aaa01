#pragma once
// The sequencer: turns the song's rows into voice parameters, one tick at a time. The block
// renderer calls the player's onTick hook (sequencerTick) every samplesPerTick output frames.
// On a row tick each channel reads its cell of the current row; on the other ticks of the row
// only the running effects, envelopes and fades move on. At the end of its work on every tick a
// channel hands what changed to its voice (updateVoice).
//
// Runs on the rendering thread only, between two mixing segments; nothing is allocated. It
// writes the player (its song state, channels and voices) and only reads the module.

#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/player.h"

namespace quarbtro {

// One tick of the module on the player; returns the row's length in ticks (speed +
// patternDelayTicks) as it was before the tick counter moved on.
std::int32_t sequencerTick(Player& player, const Module& module);

void processRow(Player& player, const Module& module);   // the row tick, all channels
void processTick(Player& player, const Module& module);  // any other tick, all channels

// Applies the channel's update requests to its voice (moving the channel to the partner voice
// for a new note while the old one still sounds); `sample` is the one looked up this tick.
void updateVoice(Player& player, Channel& channel, const Sample* sample, const Module& module);

// What a new instrument byte (or a delayed note) resets: volume and panning from the sample
// (recallSampleVolume), then the envelopes, the fade-out, the key-off, the auto-vibrato, the
// tremor and retrigger counters and the vibrato and tremolo phases (restartEnvelopes).
void resetInstrument(Channel& channel, const Sample& sample);
void recallSampleVolume(Channel& channel, const Sample& sample);
// A key-off: the sustain is released; under keyOffZeroesVolume an instrument without a volume
// envelope falls silent by its channel volume, so a volume command brings it back.
void releaseKey(const PlaybackRules& rules, Channel& channel, const Instrument& instrument);
void restartEnvelopes(Channel& channel);

// The instrument and sample a channel plays now, and that sample's finetune in this playing.
struct SampleLookup {
    const Instrument* instrument;  // the empty instrument for a number past instrumentCount
    const Sample* sample;          // the empty sample when the instrument has none for the note
    bool instrumentValid;
    std::int8_t* finetune;         // in player.sampleFinetunes; null for the empty sample

    std::int8_t sampleFinetune() const { return finetune != nullptr ? *finetune : 0; }
};
SampleLookup lookUpSample(Player& player, const Module& module, const Channel& channel);

// The period of a note (0-based, after the relative note) with a finetune, on the module's
// frequency table (FT2's steps of finetune under finetuneInSixteenths).
std::int32_t notePeriodOf(const Module& module, std::uint8_t note, std::int8_t finetune,
                          const PlaybackRules& rules);

// As FT2 starts a note (instrumentOfPlayingNote): the last instrument number and the channel's
// keyNote choose the instrument and sample the channel plays from now on (chooseNoteSample);
// startNote takes the sample, its period and finetune (E5y beside it) and, under
// sampleOffsetAsFt2, the 9xx beside it, and asks for the trigger. Nothing starts for a note
// outside FT2's range (notesOutOfRangeIgnored).
void chooseNoteSample(const Module& module, Channel& channel);
void startNote(Player& player, const Module& module, Channel& channel, const SampleLookup& found,
               std::uint8_t effectNumber, std::uint8_t parameter);
// Starts the channel's last note again, as E9x and Rxy do under retriggerAsFt2; E9x also
// restarts the envelopes.
void retriggerNote(Player& player, const Module& module, Channel& channel, bool restartsEnvelopes);

// The cells of the current row, or null when there are none to read: a pattern without cells,
// a row outside the pattern (a break or loop can name one), an order entry without a pattern.
const PatternCell* currentRowCells(const SongState& song, const Module& module);

// Rows of the pattern an order position names; 0 when it names none.
std::int32_t rowCountAt(const Module& module, std::int32_t orderPosition);

}  // namespace quarbtro
