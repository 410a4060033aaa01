#pragma once
// How a player plays where trackers part: the design's own rules (what the intro plays, the
// player's behaviour as it was written) or FastTracker 2's (what people who collect XM files
// expect from the tools). A profile is one record of named rules; the sequencer, the effects,
// the modulators and the voice update consult a rule by its name where FT2 plays differently,
// and every rule is false in the design profile, so a zero-filled player plays the design.
//
// Each rule says in one line what FT2 does, then what shows it: a trace (tests/traces/NAME.trace
// of a module that tests/helpers/effect_modules.cpp writes, traced in this profile), or, for
// what the mixer does within a tick, which no trace shows, its unit test.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quarbtro {

enum class PlaybackProfile : std::uint8_t { design, ft2 };

struct PlaybackRules {
    // --- Notes, instruments, key-off -----------------------------------------------------------
    // A lone instrument number recalls the playing sample's volume and panning and restarts the
    // playing instrument's envelopes; the next note takes the new instrument. A note starts
    // only its sample and period; envelopes restart only with an instrument number. ft2_envelopes
    bool instrumentOfPlayingNote;
    // K00 is a key-off note (the note beside it is dropped, an instrument recalls the volume
    // only); Kxx keys off at tick xx (never when xx >= speed); an instrument beside a key-off
    // recalls volume and panning without restarting envelopes. ft2_key_off
    bool keyOffAsNote;
    // Key-off without a volume envelope sets the channel volume to 0, so a volume command
    // beside it or later brings the note back. ft2_key_off
    bool keyOffZeroesVolume;
    // EDx: ED0 plays at once; x >= speed never plays; nothing of the cell acts before tick x;
    // then the note (or key-off) with the instrument's volume only when an instrument is given,
    // the envelopes restarted, and only a set-volume or set-panning volume byte. ft2_note_delay
    bool noteDelayAsFt2;
    // A note outside C-0..B-9 after its sample's relative note is not played (the instrument
    // number beside it still counts). ft2_notes
    bool notesOutOfRangeIgnored;
    // A note on an empty instrument or sample starts nothing: what plays goes on. ft2_notes
    bool emptyNotesKeepPlaying;
    // Finetune in 1/16 semitone steps: its low 3 bits do not count. Not for files written by
    // OpenMPT before 1.22.07, which played every bit: their samples are tuned to it (the public
    // test modules' recordings of FT2 drift 2 ms a second otherwise). ft2_notes
    bool finetuneInSixteenths;
    // E5y sets the finetune (y - 8) x 16 of the note beside it only. ft2_notes
    bool finetuneCommandAsFt2;

    // --- Effects ------------------------------------------------------------------------------
    // Arpeggio offsets from FT2's 16-entry tick table counted down from the speed (past 16 it
    // reads the vibrato table), the base rounded to a semitone, clamped at C-8. ft2_arpeggio
    bool arpeggioTable;
    // Periods: 1xx stops at 1, 2xx, E2x and X2x at 31,999; the frequency of a linear period
    // wraps at 16 bits as FT2's does. ft2_periods
    bool periodLimitsAsFt2;
    // Tone portamento keeps the direction taken at its note (after reaching the target it
    // moves only downward in period), and its target uses the playing sample's relative note
    // and finetune; E3x rounds its output to semitones. ft2_tone_portamento
    bool tonePortamentoAsFt2;
    // A volume-column portamento (Mx) makes the row a portamento row: the note beside it is
    // slid to, not played; Mx shares 3xx's speed. ft2_tone_portamento
    bool volumeColumnPortamentoRow;
    // 9xx acts only beside a note (not beside 3xx, not remembered otherwise); an offset past
    // the sample's end starts a note that stops at once. ft2_sample_offset
    bool sampleOffsetAsFt2;
    // E9x retriggers on tick 0 too when the row has no note (E90: on tick 0 only); Rxy counts
    // ticks across rows (reset by a new note or instrument), runs on tick 0 without a volume
    // command, and a retrigger restarts envelopes. ft2_retrigger
    bool retriggerAsFt2;
    // Txy: the counter moves on later ticks only, T00 takes the last parameter, the mute holds
    // until the volume is set. ft2_memories
    bool tremorAsFt2;
    // Tremolo's ramp waveform takes its sign from the vibrato position (FT2's slip); waveform
    // 3 is a square, as for the vibrato. ft2_modulation
    bool tremoloWaveformsAsFt2;
    // Later-tick volume effects leave the channel volume and only change what is heard until
    // the next volume command (tremolo, tremor). ft2_memories
    bool volumeOffsetPersists;
    // EAx and EBx keep separate memories. ft2_memories
    bool separateFineVolumeMemories;
    // Cxx and the volume column's set volume stop at 64; EC0 cuts on tick 0. ft2_memories
    bool volumeLimitsAsFt2;
    // The volume column on tick 0: no slide; vibrato depth Bx only on later ticks; its panning
    // slides stop at 0 and 255, and a slide left of 0 sets hard left. ft2_modulation
    bool volumeColumnAsFt2;
    // 4xy takes its speed and depth on every later tick, after a volume-column vibrato beside it
    // has run with its own depth (so the phase moves twice). ft2_modulation
    bool vibratoParameterEveryTick;
    // Vibrato, arpeggio and glissando leave their offset on the period until a note or another
    // pitch effect sets it, or a row after arpeggio or vibrato has another effect; vibrato adds
    // nothing of its own on the row tick. ft2_arpeggio
    bool periodOffsetPersists;

    // --- Envelopes and auto-vibrato ------------------------------------------------------------
    // Envelopes, fade-out and auto-vibrato move after the tick's effects (a key-off at tick x
    // releases the sustain at tick x). ft2_envelopes
    bool envelopesAfterEffects;
    // A panning envelope that holds at its sustain point before the key-off holds for ever
    // (FT2 releases only the volume envelope). ft2_envelopes
    bool panningSustainNeverReleased;
    // A loop that ends at the sustain point plays while the key is down and is left at the
    // key-off: the envelope goes on to its last point. ft2_envelope_loop
    bool sustainLoopLeftAtKeyOff;
    // Lxx sets the volume envelope's position and, when the volume envelope has its sustain
    // flag, the panning envelope's too (FT2's slip). ft2_envelopes
    bool envelopePositionAsFt2;
    // The envelopes, fade-out and auto-vibrato are those of the instrument last given beside a
    // note: a note without a number may change the sample (to the instrument a number beside a
    // key-off named) but keeps them. ft2_sample_change
    bool envelopesOfNumberedNote;
    // Auto-vibrato: the phase moves before it is used, the pitch goes down first, and the
    // sweep stops growing at key-off. ft2_envelopes
    bool autoVibratoAsFt2;

    // --- Song ---------------------------------------------------------------------------------
    // A pattern loop leaves its start row as the row the next pattern starts at (FT2's E6x
    // and pattern end share one break row); B and D keep it. ft2_pattern_loop
    bool patternLoopAsFt2;
    // X6x (OpenMPT's and ModPlug's fine pattern delay, which FT2 ignores) lengthens each repeat of
    // the row by x ticks, summed over the channels: for files those trackers wrote.
    // ft2_fine_pattern_delay
    bool finePatternDelay;
    // EEx repeats the row: each repeat counts its ticks from 0 again (note delays, retriggers
    // and cuts act in every repeat); only the very first tick reads the row. ft2_pattern_loop
    bool patternDelayRepeatsRow;

    // --- Voice -------------------------------------------------------------------------------
    // Square-root pan law: the centre 3 dB down on each side, a hard pan leaves the far side
    // 24 dB down. ft2_pan_law
    bool panLawAsFt2;
    // A volume or panning that is slid (slides, envelopes, fade-out, tremolo) moves over the
    // whole tick; a note, a set volume or panning, a cut or key-off within the short ramp.
    // MixerTest.TickLongRampClimbsInPairsToItsTarget
    bool volumeRampsAsFt2;
    // A sample that ends without a loop fades its last value out, 1/256 a frame, instead of
    // stepping to silence (as libopenmpt, whose renders the public test modules are judged by,
    // removes the click). MixerTest.EndedSampleFadesItsLastValueOut
    bool endOfSampleDeclick;
    // Voice volumes in 1/256 of the design's steps, so a low volume stays audible. ft2_pan_law
    bool fineVoiceVolumes;
};

struct Module;

// The rules of a profile for a module: every rule off for the design, every rule on for FT2
// but for what the rules say of files written by other trackers.
PlaybackRules playbackRules(PlaybackProfile profile, const Module& module);

// "design" or "ft2"; nothing for any other name.
std::optional<PlaybackProfile> playbackProfileNamed(std::string_view name);
const char* playbackProfileName(PlaybackProfile profile);

}  // namespace quarbtro
