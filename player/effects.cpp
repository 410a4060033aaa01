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

    std::int8_t sampleFinetune() const { return finetune != nullptr ? *finetune : 0; }
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
// restart the sample.
void aimTonePortamento(Channel& channel) {
    channel.portaTarget = channel.notePeriod;
    channel.flags &= ~(trigger | updateFrequency);
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
    remember(call.channel.portaSpeed, call.xx());
    aimTonePortamento(call.channel);
}

void rowVibrato(EffectCall& call) {
    if (call.x() != 0) call.channel.vibratoSpeed = static_cast<std::uint8_t>(call.x());
    if (call.y() != 0) call.channel.vibratoDepth = static_cast<std::uint8_t>(call.y());
    applyVibrato(call.channel);  // the offset at the phase reached so far
}

void rowTonePortaVolumeSlide(EffectCall& call) {
    aimTonePortamento(call.channel);
    remember(call.channel.volSlideMemory, call.xx());
}

void rowVibratoVolumeSlide(EffectCall& call) {
    remember(call.channel.volSlideMemory, call.xx());
    applyVibrato(call.channel);
}

void rowTremolo(EffectCall& call) {
    if (call.x() != 0) call.channel.tremoloSpeed = static_cast<std::uint8_t>(call.x());
    if (call.y() != 0) call.channel.tremoloDepth = static_cast<std::uint8_t>(call.y());
}

void rowSetPanning(EffectCall& call) {
    call.channel.panning = call.xx();
    call.channel.flags |= updatePanning;
}

// 9xx: the offset goes to the voice for the next trigger. Past the loop end the row's note is
// not started; the playing sample goes back to its start instead.
void rowSampleOffset(EffectCall& call) {
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
    call.song.nextRow = 0;
    call.song.nextOrder = call.xx() >= call.module.songLength ? 0 : call.xx();
    call.row->positionJump = true;
}

void rowSetVolume(EffectCall& call) {
    call.channel.volume = call.xx();  // up to 255: not limited to 64
    call.channel.flags |= updateVolume;
}

// Dxy: the row is read as two decimal digits, nibbles at face value (D1F is row 25).
void rowPatternBreak(EffectCall& call) {
    SongState& song = call.song;
    int row = call.x() * 10 + call.y();
    if (row >= 64) row = 0;
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

// Lxx: moves the volume envelope (not the panning one) to tick xx.
void rowEnvelopePosition(EffectCall& call) {
    const Instrument& instrument = call.instrument;
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
}

void rowPanningSlide(EffectCall& call) {
    if (call.xx() == 0) return;
    call.channel.panSlideMemory = call.xx();
    call.channel.flags |= updatePanning;
}

void rowMultiRetrigger(EffectCall& call) {
    if (call.xx() == 0) return;
    call.channel.retrigType = static_cast<std::uint8_t>(call.x());
    call.channel.retrigInterval = static_cast<std::uint8_t>(call.y());
}

void rowTremor(EffectCall& call) {
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
        channel.period -= channel.xfinePortaUpMemory;
    } else if (call.x() == 2) {
        remember(channel.xfinePortaDownMemory, y);
        channel.period += channel.xfinePortaDownMemory;
    }
}

// --- Row tick, extended effects Exy --------------------------------------------------------

void rowFinePortaUp(EffectCall& call) {
    remember(call.channel.finePortaUpMemory, static_cast<std::uint8_t>(call.y()));
    call.channel.period -= call.channel.finePortaUpMemory * 4;
}

void rowFinePortaDown(EffectCall& call) {
    remember(call.channel.finePortaDownMemory, static_cast<std::uint8_t>(call.y()));
    call.channel.period += call.channel.finePortaDownMemory * 4;
}

void rowVibratoWaveform(EffectCall& call) {
    call.channel.waveControl = static_cast<std::uint8_t>((call.channel.waveControl & 0xF0) | call.y());
}

// E5y: stored in the sample itself, for every later note on it.
// E5y: later notes on the sample take the finetune; the empty sample keeps none.
void rowSetFinetune(EffectCall& call) {
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
    if (channel.loopCount != 0) call.song.row = channel.loopRow - 1;  // the next row: loopRow
}

void rowTremoloWaveform(EffectCall& call) {
    call.channel.waveControl = static_cast<std::uint8_t>((call.channel.waveControl & 0x0F) | (call.y() << 4));
}

void rowCoarsePanning(EffectCall& call) {
    call.channel.panning = call.y() * 16;
    call.channel.flags |= updatePanning;
}

void rowFineVolumeUp(EffectCall& call) {
    remember(call.channel.fineVolSlideMemory, static_cast<std::uint8_t>(call.y()));
    slideVolumeUp(call.channel, call.channel.fineVolSlideMemory);
}

void rowFineVolumeDown(EffectCall& call) {
    remember(call.channel.fineVolSlideMemory, static_cast<std::uint8_t>(call.y()));
    slideVolumeDown(call.channel, call.channel.fineVolSlideMemory);
}

// EDy: nothing of the row reaches the voice before tick y; the row's instrument, note and
// instrument reset have already happened, only the requests and three values are undone.
void rowNoteDelay(EffectCall& call) {
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
    nothing,             // E3
    rowVibratoWaveform,  // E4 vibrato waveform
    rowSetFinetune,      // E5 set finetune
    rowPatternLoop,      // E6 pattern loop
    rowTremoloWaveform,  // E7 tremolo waveform
    rowCoarsePanning,    // E8 coarse panning
    nothing,             // E9 retrigger: later ticks
    rowFineVolumeUp,     // EA fine volume slide up
    rowFineVolumeDown,   // EB fine volume slide down
    nothing,             // EC note cut: later ticks
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

void tickArpeggio(EffectCall& call) {
    if (call.xx() == 0) return;
    switch (call.song.tick % 3) {
    case 1: arpeggioOffset(call, call.x()); break;
    case 2: arpeggioOffset(call, call.y()); break;
    default: break;
    }
    call.channel.flags |= updateFrequency;
}

void tickPortaUp(EffectCall& call) {
    call.channel.period = std::max(call.channel.period - call.channel.portaUpMemory * 4, 56);
    call.channel.flags |= updateFrequency;
}

void tickPortaDown(EffectCall& call) {
    call.channel.period += call.channel.portaDownMemory * 4;  // no lower pitch limit
    call.channel.flags |= updateFrequency;
}

void tickTonePortamento(EffectCall& call) { stepTonePortamento(call.channel); }
void tickVibrato(EffectCall& call) { vibratoStep(call.channel); }

void tickTonePortaVolumeSlide(EffectCall& call) {
    stepTonePortamento(call.channel);
    volumeSlide(call.channel);
}

void tickVibratoVolumeSlide(EffectCall& call) {
    vibratoStep(call.channel);
    volumeSlide(call.channel);
}

void tickTremolo(EffectCall& call) { stepTremolo(call.channel); }
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

void tickMultiRetrigger(EffectCall& call) {
    Channel& channel = call.channel;
    if (channel.retrigInterval == 0 || call.song.tick % channel.retrigInterval != 0) return;
    if (channel.retrigType != 0) {
        channel.volume = std::max(std::min(retriggeredVolume(channel.retrigType, channel.volume), 64), 0);
        channel.flags |= updateVolume;
    }
    channel.flags |= trigger;
}

void tickTremor(EffectCall& call) { stepTremor(call.channel); }

void tickRetrigger(EffectCall& call) {
    if (call.y() == 0 || call.song.tick % call.y() != 0) return;
    call.channel.flags |= trigger | updateFrequency | updateVolume;
}

void tickNoteCut(EffectCall& call) {
    if (call.song.tick != call.y()) return;  // EC0 never cuts
    call.channel.volume = 0;
    call.channel.flags |= updateVolume;
}

// EDy at tick y: the delayed note starts. On every other later tick of the row nothing of it
// reaches the voice.
void tickNoteDelay(EffectCall& call) {
    Channel& channel = call.channel;
    if (call.song.tick != call.y()) {
        channel.flags &= 0xF0;
        return;
    }
    resetInstrument(channel, call.sample);
    channel.period = channel.notePeriod;
    channel.flags |= updateFrequency | updateVolume | updatePanning;
    if (call.cell.volume != 0) volumeColumnRowTick(channel, call.cell.volume);
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
    nothing,                   // K key off
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
