#include "player/effects.h"

#include <algorithm>

#include "player/modulators.h"
#include "player/playback.h"
#include "player/sequencer.h"
#include "player/volume_column.h"

namespace quarbtro {

namespace {

// One effect handler call: the player (and the song's state in it), the channel, its cell, what
// the channel plays, the song, and on the row tick what the row processing kept.
struct EffectCall {
    Player& player;
    SongState& song;
    Channel& channel;
    const PatternCell& cell;
    const Instrument& instrument;
    const Sample& sample;
    std::int8_t* finetune;  // the sample's finetune in this playing; null for the empty sample
    const Module& module;
    const RowContext* row;  // null on the later ticks

    const PlaybackRules& rules() const { return player.rules; }
    std::int8_t sampleFinetune() const { return finetune != nullptr ? *finetune : 0; }
    // The tick within the row; under patternDelayRepeatsRow, within the row's repeat.
    std::int32_t tick() const {
        if (player.rules.patternDelayRepeatsRow && song.repeatTicks > 0) return song.tick % song.repeatTicks;
        return song.tick;
    }
    std::uint8_t xx() const { return cell.effectParam; }
    int x() const { return cell.effectParam >> 4; }
    int y() const { return cell.effectParam & 15; }
};

using Handler = void (*)(EffectCall&);

void nothing(EffectCall&) {}

void remember(std::uint8_t& memory, std::uint8_t parameter) {
    if (parameter != 0) memory = parameter;
}

// --- Shared steps ------------------------------------------------------------------------

// Moves the period by `amount` (negative: up in pitch). FT2 (periodLimitsAsFt2) keeps it in 16
// bits and tests its limits as signed 16-bit numbers: up stops at 1; down stops at 31,999
// unless the step carries it past 32,767, where it goes on and wraps around.
void slidePeriod(EffectCall& call, int amount) {
    Channel& channel = call.channel;
    if (!call.rules().periodLimitsAsFt2) {
        channel.period += amount;
        return;
    }
    channel.period = (channel.period + amount) & 0xFFFF;
    const std::int16_t signedPeriod = static_cast<std::int16_t>(channel.period);
    if (amount < 0 && signedPeriod < 1) channel.period = 1;
    if (amount > 0 && signedPeriod > 31999) channel.period = 31999;
}

// Axy, and the later ticks of 5xy and 6xy: up wins when both nibbles are set.
void volumeSlide(Channel& channel) {
    const int up = channel.volSlideMemory >> 4;
    const int down = channel.volSlideMemory & 15;
    if (up != 0) slideVolumeUp(channel, up);
    else if (down != 0) slideVolumeDown(channel, down);
    channel.flags |= updateVolume;
}

void vibratoStep(Channel& channel) {
    applyVibrato(channel);
    advanceVibrato(channel);
}

// The tone portamento aims at the last note on every 3xx and 5xy row; the row's note does not
// restart the sample. FT2 (tonePortamentoAsFt2) aims only where a note is given (the row
// processing does that).
void aimTonePortamento(EffectCall& call) {
    if (!call.rules().tonePortamentoAsFt2) call.channel.portaTarget = call.channel.notePeriod;
    call.channel.flags &= ~(trigger | updateFrequency);
}

// FT2 (periodOffsetPersists): a portamento plays the plain period from now on.
void dropPeriodOffset(EffectCall& call) {
    if (!call.rules().periodOffsetPersists) return;
    call.channel.periodDelta = 0;
    call.channel.periodOffset = 0;
}

// Arpeggio: s semitones up from the channel's note, on either frequency table.
void arpeggioOffset(EffectCall& call, int semitones) {
    Channel& channel = call.channel;
    if (call.module.flags & linearFrequencyTable) {
        channel.periodDelta = semitones * 64;
    } else {
        const std::uint8_t raised = static_cast<std::uint8_t>(channel.note + semitones);
        channel.periodDelta = amigaPeriod(raised, call.sampleFinetune()) -
                              amigaPeriod(channel.note, call.sampleFinetune());
    }
}

// --- Row tick ----------------------------------------------------------------------------

void rowPortaUp(EffectCall& call) { remember(call.channel.portaUpMemory, call.xx()); }
void rowPortaDown(EffectCall& call) { remember(call.channel.portaDownMemory, call.xx()); }

void rowTonePortamento(EffectCall& call) {
    // FT2 takes the speed from a volume-column portamento beside 3xx (and runs both later).
    const bool columnPortamento = call.rules().volumeColumnPortamentoRow && (call.cell.volume >> 4) == 0xF;
    if (!columnPortamento) remember(call.channel.portaSpeed, call.xx());
    aimTonePortamento(call);
}

void rowVibrato(EffectCall& call) {
    if (call.x() != 0) call.channel.vibratoSpeed = static_cast<std::uint8_t>(call.x());
    if (call.y() != 0) call.channel.vibratoDepth = static_cast<std::uint8_t>(call.y());
    // The offset at the phase reached so far; FT2 keeps the last tick's.
    if (!call.rules().periodOffsetPersists) applyVibrato(call.channel);
}

void rowTonePortaVolumeSlide(EffectCall& call) {
    aimTonePortamento(call);
    remember(call.channel.volSlideMemory, call.xx());
}

void rowVibratoVolumeSlide(EffectCall& call) {
    remember(call.channel.volSlideMemory, call.xx());
    if (!call.rules().periodOffsetPersists) applyVibrato(call.channel);
}

void rowTremolo(EffectCall& call) {
    if (call.x() != 0) call.channel.tremoloSpeed = static_cast<std::uint8_t>(call.x());
    if (call.y() != 0) call.channel.tremoloDepth = static_cast<std::uint8_t>(call.y());
}

void rowSetPanning(EffectCall& call) {
    setChannelPanning(call.channel, call.xx());
}

// 9xx: the offset goes to the voice for the next trigger. Past the loop end the row's note is
// not started; the playing sample goes back to its start instead.
void rowSampleOffset(EffectCall& call) {
    if (call.rules().sampleOffsetAsFt2) return;  // FT2: taken by the note it stands beside
    Channel& channel = call.channel;
    if (call.xx() != 0) channel.offsetMemory = call.xx();
    const std::uint32_t offset = static_cast<std::uint32_t>(channel.offsetMemory) * 256;
    if (offset < call.sample.loopStart + call.sample.loopLength) {
        channel.voice->startOffset = offset;
    } else {
        channel.flags &= ~trigger;
        channel.flags |= rewind;
    }
}

void rowVolumeSlide(EffectCall& call) { remember(call.channel.volSlideMemory, call.xx()); }

void rowPositionJump(EffectCall& call) {
    if (call.rules().patternLoopAsFt2) {
        SongState& song = call.song;
        song.jumpOrder = call.xx();
        song.jumpsToOrder = true;
        song.breakRow = 0;
        song.endsPattern = true;
        return;
    }
    call.song.nextRow = 0;
    call.song.nextOrder = call.xx() >= call.module.songLength ? 0 : call.xx();
    call.row->positionJump = true;
}

void rowSetVolume(EffectCall& call) {
    // Up to 255 in the design; FT2 stops at 64.
    setChannelVolume(call.channel, call.rules().volumeLimitsAsFt2 ? std::min<int>(call.xx(), 64) : call.xx());
}

// Dxy: the row is read as two decimal digits, nibbles at face value (D1F is row 25).
void rowPatternBreak(EffectCall& call) {
    SongState& song = call.song;
    int row = call.x() * 10 + call.y();
    if (row >= 64) row = 0;
    if (call.rules().patternLoopAsFt2) {
        song.breakRow = row;
        song.endsPattern = true;
        return;
    }
    song.nextRow = row;
    if (!call.row->positionJump) song.nextOrder = song.orderPosition + 1;
    if (song.nextOrder >= call.module.songLength) song.nextOrder = 0;
}

void rowSpeedOrTempo(EffectCall& call) {
    if (call.xx() <= 31) call.song.speed = call.xx();
    else setBpm(call.player, call.xx());
}

void rowGlobalVolume(EffectCall& call) {
    call.song.globalVolume = std::min<int>(call.xx(), 64);
    call.channel.flags |= updateVolume;  // the other channels follow at their next update
}

void rowGlobalVolumeSlide(EffectCall& call) { remember(call.song.globalVolSlideMemory, call.xx()); }

// FT2's Lxx (envelopePositionAsFt2) on one envelope: the state from which the tick's envelope
// step, which follows the effects, gives the envelope's value at tick xx.
void placeEnvelope(EnvelopeState state, const EnvelopeShape& shape, int position) {
    const int count = std::min<int>(shape.pointCount, maxEnvelopePoints);
    if (count < 1) return;
    const EnvelopePoint* points = shape.points;
    state.done = 0;
    int k = 0;
    while (k + 1 < count && points[k + 1].x <= position) ++k;
    if (points[k].x == position || k == count - 1) {
        state.point = k;  // the step reaches point k (or the last point, past the end)
        state.tick = points[k].x;
        return;
    }
    const std::int64_t width = points[k + 1].x - points[k].x;
    const std::int64_t rise = (std::int64_t{points[k + 1].y} - points[k].y) * 65536;
    state.slope = static_cast<std::int32_t>(width == 0 ? 0 : rise / width);
    state.point = k + 1;
    state.tick = position;
    state.value = static_cast<std::int32_t>(std::int64_t{points[k].y} * 65536 +
                                            std::int64_t{position - 1 - points[k].x} * state.slope);
}

// Lxx: moves the volume envelope (not the panning one) to tick xx. FT2 moves the panning
// envelope too when the volume envelope has its sustain flag.
void rowEnvelopePosition(EffectCall& call) {
    const Instrument& instrument = call.instrument;
    if (call.rules().envelopePositionAsFt2) {
        if (instrument.volumeEnvelopeFlags & envelopeOn)
            placeEnvelope(volumeEnvelopeState(call.channel), volumeEnvelopeShape(instrument), call.xx());
        if (instrument.volumeEnvelopeFlags & envelopeSustain)
            placeEnvelope(panningEnvelopeState(call.channel), panningEnvelopeShape(instrument), call.xx());
        return;
    }
    if (!(instrument.volumeEnvelopeFlags & envelopeOn)) return;
    Channel& channel = call.channel;
    const EnvelopePoint* points = instrument.volumeEnvelope;
    const int count = std::min<int>(instrument.volumePointCount, maxEnvelopePoints);
    if (count < 1) return;
    const int position = call.xx();
    int k = 0;
    if (count > 1 && position > points[1].x) {
        k = count;
        for (int candidate = 1; candidate + 1 < count; ++candidate) {
            if (position <= points[candidate + 1].x) {
                k = candidate;
                break;
            }
        }
    }
    channel.volEnvPoint = k;
    if (k >= count - 1) {
        channel.volEnvVolume = points[count - 1].y;
        channel.volEnvFine = points[count - 1].y << 16;
        channel.volEnvDone = 1;
        return;
    }
    channel.volEnvDone = 0;
    channel.volEnvTick = position;
    const std::int64_t width = points[k + 1].x - points[k].x;
    const std::int64_t rise = (std::int64_t{points[k + 1].y} - points[k].y) * 65536;
    channel.volEnvSlope = static_cast<std::int32_t>(width == 0 ? 0 : rise / width);
    channel.volEnvPoint = k + 1;
    channel.volEnvValue = static_cast<std::int32_t>(std::int64_t{points[k].y} * 65536 +
                                                    std::int64_t{position - points[k].x} * channel.volEnvSlope);
    channel.volEnvVolume = channel.volEnvValue >> 16;
    channel.volEnvFine = channel.volEnvValue;
}

void rowPanningSlide(EffectCall& call) {
    if (call.xx() == 0) return;
    call.channel.panSlideMemory = call.xx();
    call.channel.flags |= updatePanning;
}

void multiRetriggerAsFt2(EffectCall& call);

// What FT2's tick-0 volume-column handler leaves in the volume byte: the volume it set or slid
// to, the vibrato speed x 4, the panning it set, or the byte itself.
int volumeByteAfterRowTick(std::uint8_t volumeByte, const Channel& channel) {
    switch (volumeByte >> 4) {
    case 0x1: case 0x2: case 0x3: case 0x4: case 0x5: return std::min(volumeByte - 0x10, 64);
    case 0x8: case 0x9: return channel.volume;
    case 0xA: return (volumeByte & 15) << 2;
    case 0xC: return (volumeByte & 15) << 4;
    default: return volumeByte;
    }
}

void rowMultiRetrigger(EffectCall& call) {
    if (call.rules().retriggerAsFt2) {
        // FT2 keeps each nibble's last non-zero value, and counts tick 0 too unless the volume
        // column leaves a value behind (FT2 tests what its tick-0 handler left in the byte).
        remember(call.channel.retrigInterval, static_cast<std::uint8_t>(call.y()));
        remember(call.channel.retrigType, static_cast<std::uint8_t>(call.x()));
        if (volumeByteAfterRowTick(call.cell.volume, call.channel) == 0) multiRetriggerAsFt2(call);
        return;
    }
    if (call.xx() == 0) return;
    call.channel.retrigType = static_cast<std::uint8_t>(call.x());
    call.channel.retrigInterval = static_cast<std::uint8_t>(call.y());
}

void rowTremor(EffectCall& call) {
    if (call.rules().tremorAsFt2) {
        remember(call.channel.tremorMemory, call.xx());  // FT2 counts on the later ticks only
        return;
    }
    if (call.xx() != 0) {
        call.channel.tremorOn = static_cast<std::uint8_t>(call.x() + 1);
        call.channel.tremorOff = static_cast<std::uint8_t>(call.y() + 1);
    }
    stepTremor(call.channel);
}

// Xxy: extra-fine portamento, a period unit at a time, unbounded.
void rowExtraFinePortamento(EffectCall& call) {
    Channel& channel = call.channel;
    const std::uint8_t y = static_cast<std::uint8_t>(call.y());
    if (call.x() == 1) {
        remember(channel.xfinePortaUpMemory, y);
        slidePeriod(call, -channel.xfinePortaUpMemory);
        dropPeriodOffset(call);
    } else if (call.x() == 2) {
        remember(channel.xfinePortaDownMemory, y);
        slidePeriod(call, channel.xfinePortaDownMemory);
        dropPeriodOffset(call);
    } else if (call.x() == 6 && call.rules().finePatternDelay) {
        call.song.fineDelayTicks += y;
    }
}

// --- Row tick, extended effects Exy --------------------------------------------------------

void rowFinePortaUp(EffectCall& call) {
    remember(call.channel.finePortaUpMemory, static_cast<std::uint8_t>(call.y()));
    slidePeriod(call, -call.channel.finePortaUpMemory * 4);
    dropPeriodOffset(call);
}

void rowFinePortaDown(EffectCall& call) {
    remember(call.channel.finePortaDownMemory, static_cast<std::uint8_t>(call.y()));
    slidePeriod(call, call.channel.finePortaDownMemory * 4);
    dropPeriodOffset(call);
}

void rowGlissando(EffectCall& call) {
    if (call.rules().tonePortamentoAsFt2) call.channel.glissando = static_cast<std::uint8_t>(call.y());
}

void rowVibratoWaveform(EffectCall& call) {
    call.channel.waveControl = static_cast<std::uint8_t>((call.channel.waveControl & 0xF0) | call.y());
}

// E5y: later notes on the sample take the finetune; the empty sample keeps none. FT2
// (finetuneCommandAsFt2) gives it to the note beside it only, as that note starts.
void rowSetFinetune(EffectCall& call) {
    if (call.rules().finetuneCommandAsFt2) return;
    if (call.finetune != nullptr) *call.finetune = static_cast<std::int8_t>(call.y());
}

// E6y: E60 marks the loop start; E6y (y > 0) plays back to it y times. The state is per
// channel and survives pattern changes.
void rowPatternLoop(EffectCall& call) {
    Channel& channel = call.channel;
    if (call.y() == 0) {
        channel.loopRow = call.song.row;
        return;
    }
    if (channel.loopCount != 0) channel.loopCount -= 1;
    else channel.loopCount = call.y();
    if (channel.loopCount == 0) return;
    if (call.rules().patternLoopAsFt2) {
        call.song.breakRow = channel.loopRow;  // kept when the loop is done: FT2's one break row
        call.song.loopsBack = true;
    } else {
        call.song.row = channel.loopRow - 1;  // the next row: loopRow
    }
}

// E9x on tick 0 (retriggerAsFt2): FT2 starts the last note again at once, and E90 does so only
// here (the row processing starts it with the row).
void rowRetrigger(EffectCall& call) {
    if (call.rules().retriggerAsFt2 && call.y() != 0) retriggerNote(call.player, call.module, call.channel, true);
}

void rowTremoloWaveform(EffectCall& call) {
    call.channel.waveControl = static_cast<std::uint8_t>((call.channel.waveControl & 0x0F) | (call.y() << 4));
}

void rowCoarsePanning(EffectCall& call) {
    setChannelPanning(call.channel, call.y() * 16);
}

void rowFineVolumeUp(EffectCall& call) {
    remember(call.channel.fineVolSlideMemory, static_cast<std::uint8_t>(call.y()));
    slideVolumeUp(call.channel, call.channel.fineVolSlideMemory);
}

void rowFineVolumeDown(EffectCall& call) {
    // FT2 keeps EBx's memory apart from EAx's.
    std::uint8_t& memory =
        call.rules().separateFineVolumeMemories ? call.channel.fineVolDownMemory : call.channel.fineVolSlideMemory;
    remember(memory, static_cast<std::uint8_t>(call.y()));
    slideVolumeDown(call.channel, memory);
}

// EC0: FT2 (volumeLimitsAsFt2) cuts on tick 0.
void rowNoteCut(EffectCall& call) {
    if (call.rules().volumeLimitsAsFt2 && call.y() == 0) setChannelVolume(call.channel, 0);
}

// EDy: nothing of the row reaches the voice before tick y; the row's instrument, note and
// instrument reset have already happened, only the requests and three values are undone.
// FT2 (noteDelayAsFt2) has not read the row at all: nothing is undone.
void rowNoteDelay(EffectCall& call) {
    if (call.rules().noteDelayAsFt2) return;
    Channel& channel = call.channel;
    channel.flags &= 0xF0;
    channel.volume = call.row->volumeBefore;
    channel.period = call.row->periodBefore;
    channel.panning = call.row->panningBefore;
}

void rowPatternDelay(EffectCall& call) { call.song.patternDelayTicks = call.y() * call.song.speed; }

constexpr Handler extendedRowTick[16] = {
    nothing,             // E0
    rowFinePortaUp,      // E1 fine portamento up
    rowFinePortaDown,    // E2 fine portamento down
    rowGlissando,        // E3 glissando
    rowVibratoWaveform,  // E4 vibrato waveform
    rowSetFinetune,      // E5 set finetune
    rowPatternLoop,      // E6 pattern loop
    rowTremoloWaveform,  // E7 tremolo waveform
    rowCoarsePanning,    // E8 coarse panning
    rowRetrigger,        // E9 retrigger: later ticks, and tick 0 in FT2
    rowFineVolumeUp,     // EA fine volume slide up
    rowFineVolumeDown,   // EB fine volume slide down
    rowNoteCut,          // EC note cut: later ticks, and EC0 in FT2
    rowNoteDelay,        // ED note delay
    rowPatternDelay,     // EE pattern delay
    nothing,             // EF
};

void rowExtended(EffectCall& call) { extendedRowTick[call.x()](call); }

constexpr Handler rowTick[effect::count] = {
    nothing,                  // 0 arpeggio: later ticks
    rowPortaUp,               // 1 portamento up
    rowPortaDown,             // 2 portamento down
    rowTonePortamento,        // 3 tone portamento
    rowVibrato,               // 4 vibrato
    rowTonePortaVolumeSlide,  // 5 tone portamento + volume slide
    rowVibratoVolumeSlide,    // 6 vibrato + volume slide
    rowTremolo,               // 7 tremolo
    rowSetPanning,            // 8 set panning
    rowSampleOffset,          // 9 sample offset
    rowVolumeSlide,           // A volume slide
    rowPositionJump,          // B position jump
    rowSetVolume,             // C set volume
    rowPatternBreak,          // D pattern break
    rowExtended,              // E extended
    rowSpeedOrTempo,          // F speed / tempo
    rowGlobalVolume,          // G global volume
    rowGlobalVolumeSlide,     // H global volume slide
    nothing,                  // I
    nothing,                  // J
    nothing,                  // K key off: the row processing sets keyOff
    rowEnvelopePosition,      // L envelope position
    nothing,                  // M
    nothing,                  // N
    nothing,                  // O
    rowPanningSlide,          // P panning slide
    nothing,                  // Q
    rowMultiRetrigger,        // R multi retrigger
    nothing,                  // S
    rowTremor,                // T tremor
    nothing,                  // U
    nothing,                  // V
    nothing,                  // W
    rowExtraFinePortamento,   // X extra-fine portamento
    nothing,                  // Y
    nothing,                  // Z
};

// --- Later ticks ---------------------------------------------------------------------------

// FT2's arpeggio reads a 16-entry table by the ticks left in the row, and past 16 the bytes
// that follow it in FT2 (the start of its vibrato table): 0 is the base note, 1 the first
// offset, anything else the second.
constexpr std::uint8_t ft2ArpeggioTicks[32] = {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0,
                                              0, 24, 49, 74, 97, 120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253};

void tickArpeggioAsFt2(EffectCall& call) {
    Channel& channel = call.channel;
    const std::uint8_t entry = ft2ArpeggioTicks[(call.song.speed - call.tick()) & 31];
    if (entry == 0) {
        channel.periodDelta = 0;
    } else {
        const int semitones = entry == 1 ? call.x() : call.y();
        channel.periodDelta =
            channel.period - semitonePeriod(call.module, channel.period, channel.noteFinetune, semitones);
    }
    channel.periodOffset = channel.periodDelta;
    channel.flags |= updateFrequency;
}

void tickArpeggio(EffectCall& call) {
    if (call.xx() == 0) return;
    if (call.rules().arpeggioTable) {
        tickArpeggioAsFt2(call);
        return;
    }
    switch (call.song.tick % 3) {
    case 1: arpeggioOffset(call, call.x()); break;
    case 2: arpeggioOffset(call, call.y()); break;
    default: break;
    }
    call.channel.flags |= updateFrequency;
}

void tickPortaUp(EffectCall& call) {
    if (call.rules().periodLimitsAsFt2) slidePeriod(call, -call.channel.portaUpMemory * 4);
    else call.channel.period = std::max(call.channel.period - call.channel.portaUpMemory * 4, 56);
    dropPeriodOffset(call);
    call.channel.flags |= updateFrequency;
}

void tickPortaDown(EffectCall& call) {
    slidePeriod(call, call.channel.portaDownMemory * 4);  // no lower pitch limit in the design
    dropPeriodOffset(call);
    call.channel.flags |= updateFrequency;
}

void tickTonePortamento(EffectCall& call) { stepTonePortamento(call.rules(), call.module, call.channel); }
void tickVibrato(EffectCall& call) {
    if (call.rules().vibratoParameterEveryTick) {
        if (call.x() != 0) call.channel.vibratoSpeed = static_cast<std::uint8_t>(call.x());
        if (call.y() != 0) call.channel.vibratoDepth = static_cast<std::uint8_t>(call.y());
    }
    vibratoStep(call.channel);
}

void tickTonePortaVolumeSlide(EffectCall& call) {
    stepTonePortamento(call.rules(), call.module, call.channel);
    volumeSlide(call.channel);
}

void tickVibratoVolumeSlide(EffectCall& call) {
    vibratoStep(call.channel);
    volumeSlide(call.channel);
}

void tickTremolo(EffectCall& call) { stepTremolo(call.rules(), call.channel); }
void tickVolumeSlide(EffectCall& call) { volumeSlide(call.channel); }

// Hxy slides once per tick for every channel that carries it, so two channels slide twice.
void tickGlobalVolumeSlide(EffectCall& call) {
    SongState& song = call.song;
    const int up = song.globalVolSlideMemory >> 4;
    const int down = song.globalVolSlideMemory & 15;
    if (up != 0) song.globalVolume = std::min(song.globalVolume + up, 64);
    else if (down != 0) song.globalVolume = std::max(song.globalVolume - down, 0);
}

void tickPanningSlide(EffectCall& call) {
    Channel& channel = call.channel;
    const int right = channel.panSlideMemory >> 4;
    const int left = channel.panSlideMemory & 15;
    if (right != 0) channel.panning = std::min(channel.panning + right, 255);
    else if (left != 0) channel.panning = std::max(channel.panning - left, 0);
    channel.flags |= updatePanning;
}

// The volume change of Rxy by its x.
std::int32_t retriggeredVolume(std::uint8_t type, std::int32_t volume) {
    switch (type) {
    case 0x1: return volume - 1;
    case 0x2: return volume - 2;
    case 0x3: return volume - 4;
    case 0x4: return volume - 8;
    case 0x5: return volume - 16;
    case 0x6: return volume * 2 / 3;
    case 0x7: return volume >> 1;
    case 0x9: return volume + 1;
    case 0xA: return volume + 2;
    case 0xB: return volume + 4;
    case 0xC: return volume + 8;
    case 0xD: return volume + 16;
    case 0xE: return volume * 3 / 2;
    case 0xF: return volume * 2;
    default: return volume;  // 8: unchanged
    }
}

// FT2's volume changes of Rxy: 6 is 2/3 and E is 3/2 as sums of shifts.
std::int32_t retriggeredVolumeAsFt2(std::uint8_t type, std::int32_t volume) {
    switch (type) {
    case 0x6: return (volume >> 1) + (volume >> 3) + (volume >> 4);
    case 0xE: return (volume >> 1) + volume;
    default: return retriggeredVolume(type, volume);
    }
}

// FT2's Rxy: a count of ticks that runs across rows (a new note or instrument resets it);
// at the interval the volume changes, a set-volume or set-panning volume byte applies again,
// and the note starts anew (its envelopes go on).
void multiRetriggerAsFt2(EffectCall& call) {
    Channel& channel = call.channel;
    channel.retrigCounter += 1;
    if (channel.retrigCounter < channel.retrigInterval) return;
    channel.retrigCounter = 0;
    setChannelVolume(channel, std::clamp(retriggeredVolumeAsFt2(channel.retrigType, channel.volume), 0, 64));
    const std::uint8_t volumeByte = call.cell.volume;
    if (volumeByte >= 0x10 && volumeByte <= 0x50) {
        setChannelVolume(channel, volumeByte - 0x10);
    } else if (volumeByte >= 0xC0 && volumeByte <= 0xCF) {
        setChannelPanning(channel, (volumeByte & 15) * 16);
    }
    retriggerNote(call.player, call.module, channel, false);
}

void tickMultiRetrigger(EffectCall& call) {
    if (call.rules().retriggerAsFt2) {
        multiRetriggerAsFt2(call);
        return;
    }
    Channel& channel = call.channel;
    if (channel.retrigInterval == 0 || call.song.tick % channel.retrigInterval != 0) return;
    if (channel.retrigType != 0) {
        channel.volume = std::max(std::min(retriggeredVolume(channel.retrigType, channel.volume), 64), 0);
        channel.flags |= updateVolume;
    }
    channel.flags |= trigger;
}

void tickTremor(EffectCall& call) {
    if (call.rules().tremorAsFt2) stepTremorAsFt2(call.channel);
    else stepTremor(call.channel);
}

void tickRetrigger(EffectCall& call) {
    if (call.y() == 0 || call.tick() % call.y() != 0) return;
    if (call.rules().retriggerAsFt2) {
        retriggerNote(call.player, call.module, call.channel, true);  // FT2: the note anew
        return;
    }
    call.channel.flags |= trigger | updateFrequency | updateVolume;
}

void tickNoteCut(EffectCall& call) {
    if (call.tick() != call.y()) return;  // EC0 never cuts
    setChannelVolume(call.channel, 0);
}

// Kxx at tick xx (keyOffAsNote; K00 is a key-off note on tick 0).
void tickKeyOff(EffectCall& call) {
    if (call.rules().keyOffAsNote && call.xx() != 0 && call.tick() == call.xx())
        releaseKey(call.rules(), call.channel, call.instrument);
}

// FT2's delayed note at tick y (noteDelayAsFt2): the cell's note (the last one when it has
// none) or its key-off; the volume and panning of the sample only with an instrument number;
// the envelopes restarted in any case; then a set-volume or set-panning volume byte.
void delayedNoteAsFt2(EffectCall& call) {
    Channel& channel = call.channel;
    const PatternCell& cell = call.cell;
    if (cell.note == noteKeyOff) {
        releaseKey(call.rules(), channel, call.instrument);
    } else {
        if (cell.note != 0) channel.keyNote = cell.note - 1;
        if (call.rules().envelopesOfNumberedNote && cell.note != 0 && cell.instrument != 0)
            channel.envelopeInstrument = channel.instrument;
        retriggerNote(call.player, call.module, channel, false);
    }
    const SampleLookup playing = lookUpSample(call.player, call.module, channel);
    if (cell.instrument != 0) recallSampleVolume(channel, *playing.sample);
    restartEnvelopes(channel);
    if (cell.volume >= 0x10 && cell.volume <= 0x50) {
        setChannelVolume(channel, cell.volume - 0x10);
    } else if ((cell.volume >> 4) == 0xC) {
        setChannelPanning(channel, (cell.volume & 15) * 16);
    }
}

// EDy at tick y: the delayed note starts. On every other later tick of the row nothing of it
// reaches the voice.
void tickNoteDelay(EffectCall& call) {
    if (call.rules().noteDelayAsFt2) {
        if (call.tick() == call.y()) delayedNoteAsFt2(call);
        return;
    }
    Channel& channel = call.channel;
    if (call.song.tick != call.y()) {
        channel.flags &= 0xF0;
        return;
    }
    resetInstrument(channel, call.sample);
    channel.period = channel.notePeriod;
    channel.flags |= updateFrequency | updateVolume | updatePanning;
    if (call.cell.volume != 0) volumeColumnRowTick(call.rules(), call.module, channel, call.cell.volume);
    channel.flags |= trigger;
}

constexpr Handler extendedLaterTicks[16] = {
    nothing,        // E0
    nothing,        // E1 fine portamento up: row tick
    nothing,        // E2 fine portamento down: row tick
    nothing,        // E3
    nothing,        // E4 vibrato waveform: row tick
    nothing,        // E5 set finetune: row tick
    nothing,        // E6 pattern loop: row tick
    nothing,        // E7 tremolo waveform: row tick
    nothing,        // E8 coarse panning: row tick
    tickRetrigger,  // E9 retrigger
    nothing,        // EA fine volume slide up: row tick
    nothing,        // EB fine volume slide down: row tick
    tickNoteCut,    // EC note cut
    tickNoteDelay,  // ED note delay
    nothing,        // EE pattern delay: row tick
    nothing,        // EF
};

void tickExtended(EffectCall& call) { extendedLaterTicks[call.x()](call); }

constexpr Handler laterTicks[effect::count] = {
    tickArpeggio,              // 0 arpeggio
    tickPortaUp,               // 1 portamento up
    tickPortaDown,             // 2 portamento down
    tickTonePortamento,        // 3 tone portamento
    tickVibrato,               // 4 vibrato
    tickTonePortaVolumeSlide,  // 5 tone portamento + volume slide
    tickVibratoVolumeSlide,    // 6 vibrato + volume slide
    tickTremolo,               // 7 tremolo
    nothing,                   // 8 set panning
    nothing,                   // 9 sample offset
    tickVolumeSlide,           // A volume slide
    nothing,                   // B position jump
    nothing,                   // C set volume
    nothing,                   // D pattern break
    tickExtended,              // E extended
    nothing,                   // F speed / tempo
    nothing,                   // G global volume
    tickGlobalVolumeSlide,     // H global volume slide
    nothing,                   // I
    nothing,                   // J
    tickKeyOff,                // K key off
    nothing,                   // L envelope position
    nothing,                   // M
    nothing,                   // N
    nothing,                   // O
    tickPanningSlide,          // P panning slide
    nothing,                   // Q
    tickMultiRetrigger,        // R multi retrigger
    nothing,                   // S
    tickTremor,                // T tremor
    nothing,                   // U
    nothing,                   // V
    nothing,                   // W
    nothing,                   // X extra-fine portamento: row tick
    nothing,                   // Y
    nothing,                   // Z
};

}  // namespace

void rowEffect(Player& player, Channel& channel, const PatternCell& cell, const SampleLookup& found,
               const Module& module, const RowContext& context) {
    if (cell.effect >= effect::count) return;
    EffectCall call{player, player.song, channel, cell, *found.instrument, *found.sample, found.finetune,
                    module, &context};
    rowTick[cell.effect](call);
}

void tickEffect(Player& player, Channel& channel, const PatternCell& cell, const SampleLookup& found,
                const Module& module) {
    if (cell.effect >= effect::count) return;
    EffectCall call{player, player.song, channel, cell, *found.instrument, *found.sample, found.finetune,
                    module, nullptr};
    laterTicks[cell.effect](call);
}

}  // namespace quarbtro
