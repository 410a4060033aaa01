#include "player/volume_column.h"

#include <algorithm>
#include <array>

#include "player/modulators.h"

namespace quarbtro {

namespace {

struct ColumnCall {
    const PlaybackRules& rules;
    const Module& module;
    Channel& channel;
    std::uint8_t volumeByte;

    int x() const { return volumeByte & 15; }
};

using Handler = void (*)(const ColumnCall& call);

void nothing(const ColumnCall&) {}

void setVolume(const ColumnCall& call) {
    if (call.volumeByte > volumeCommand::setVolumeLast) return;  // 0x51..0x5F
    call.channel.volume = call.volumeByte - volumeCommand::setVolumeFirst;
    call.channel.flags |= updateVolume;
}

void slideDown(const ColumnCall& call) { slideVolumeDown(call.channel, call.x()); }
void slideUp(const ColumnCall& call) { slideVolumeUp(call.channel, call.x()); }

void setVibratoSpeed(const ColumnCall& call) { call.channel.vibratoSpeed = static_cast<std::uint8_t>(call.x()); }
void setVibratoDepth(const ColumnCall& call) { call.channel.vibratoDepth = static_cast<std::uint8_t>(call.x()); }

// On the later ticks the depth is set again and the vibrato runs, as 4xy's would.
void vibrato(const ColumnCall& call) {
    setVibratoDepth(call);
    applyVibrato(call.channel);
    advanceVibrato(call.channel);
}

void setPanning(const ColumnCall& call) { setChannelPanning(call.channel, call.x() * 16); }

void panningSlideLeft(const ColumnCall& call) { shiftPanning(call.channel, -call.x()); }
void panningSlideRight(const ColumnCall& call) { shiftPanning(call.channel, call.x()); }

// Toward the row's note, without restarting it; a parameter of 0 keeps the last speed.
void aimTonePortamento(const ColumnCall& call) {
    if (call.x() != 0) call.channel.portaSpeed = static_cast<std::uint8_t>(call.x() * 16);
    call.channel.flags &= ~trigger;
    call.channel.portaTarget = call.channel.notePeriod;
}

void tonePortamento(const ColumnCall& call) { stepTonePortamento(call.rules, call.module, call.channel); }

// FT2's own meanings (volumeColumnAsFt2): 0x51..0x5F set 64; the parameters 0 of the vibrato
// speed and depth and of the portamento keep the last ones; the portamento is aimed by the row
// (a portamento row, volumeColumnPortamentoRow); the panning slides stop at 0 and 255.
void setVolumeAsFt2(const ColumnCall& call) {
    setChannelVolume(call.channel, std::min(call.volumeByte - volumeCommand::setVolumeFirst, 64));
}

void setVibratoSpeedAsFt2(const ColumnCall& call) {
    if (call.x() != 0) setVibratoSpeed(call);
}

void vibratoAsFt2(const ColumnCall& call) {
    if (call.x() != 0) setVibratoDepth(call);
    applyVibrato(call.channel);
    advanceVibrato(call.channel);
}

// FT2 adds 256 - x and keeps the low byte when that carries: x = 0 never carries, so D0 and a
// slide past 0 set hard left.
void panningSlideLeftAsFt2(const ColumnCall& call) {
    Channel& channel = call.channel;
    channel.panning = call.x() != 0 && channel.panning >= call.x() ? channel.panning - call.x() : 0;
    channel.flags |= updatePanning;
}

void panningSlideRightAsFt2(const ColumnCall& call) {
    call.channel.panning = std::min(call.channel.panning + call.x(), 255);
    call.channel.flags |= updatePanning;
}

void setPortamentoSpeedAsFt2(const ColumnCall& call) {
    if (call.x() != 0) call.channel.portaSpeed = static_cast<std::uint8_t>(call.x() * 16);
}

struct Command {
    Handler rowTick;
    Handler laterTicks;
};

using CommandTable = std::array<Command, 16>;

// Each command by the volume byte's high nibble; a nibble without a command does nothing.
constexpr CommandTable designTable() {
    CommandTable table{};
    table.fill({nothing, nothing});
    for (int nibble = volumeCommand::setVolumeFirst >> 4; nibble <= volumeCommand::setVolumeLast >> 4; ++nibble)
        table[nibble] = {setVolume, nothing};
    table[volumeCommand::slideDown] = {slideDown, slideDown};          // every tick
    table[volumeCommand::slideUp] = {slideUp, slideUp};                // every tick
    table[volumeCommand::fineSlideDown] = {slideDown, nothing};        // the row tick only
    table[volumeCommand::fineSlideUp] = {slideUp, nothing};            // the row tick only
    table[volumeCommand::vibratoSpeed] = {setVibratoSpeed, nothing};
    table[volumeCommand::vibrato] = {setVibratoDepth, vibrato};
    table[volumeCommand::setPanning] = {setPanning, nothing};
    table[volumeCommand::panningSlideLeft] = {panningSlideLeft, panningSlideLeft};
    table[volumeCommand::panningSlideRight] = {panningSlideRight, panningSlideRight};
    table[volumeCommand::tonePortamento] = {aimTonePortamento, tonePortamento};
    return table;
}

// FT2's: the slides, the vibrato and the panning slides wait for the later ticks.
constexpr CommandTable ft2Table() {
    CommandTable table{};
    table.fill({nothing, nothing});
    for (int nibble = volumeCommand::setVolumeFirst >> 4; nibble <= volumeCommand::setVolumeLast >> 4; ++nibble)
        table[nibble] = {setVolumeAsFt2, nothing};
    table[volumeCommand::slideDown] = {nothing, slideDown};
    table[volumeCommand::slideUp] = {nothing, slideUp};
    table[volumeCommand::fineSlideDown] = {slideDown, nothing};
    table[volumeCommand::fineSlideUp] = {slideUp, nothing};
    table[volumeCommand::vibratoSpeed] = {setVibratoSpeedAsFt2, nothing};
    table[volumeCommand::vibrato] = {nothing, vibratoAsFt2};
    table[volumeCommand::setPanning] = {setPanning, nothing};
    table[volumeCommand::panningSlideLeft] = {nothing, panningSlideLeftAsFt2};
    table[volumeCommand::panningSlideRight] = {nothing, panningSlideRightAsFt2};
    table[volumeCommand::tonePortamento] = {setPortamentoSpeedAsFt2, tonePortamento};
    return table;
}

constexpr CommandTable designCommands = designTable();
constexpr CommandTable ft2Commands = ft2Table();

const Command& commandOf(const PlaybackRules& rules, std::uint8_t volumeByte) {
    return (rules.volumeColumnAsFt2 ? ft2Commands : designCommands)[volumeByte >> 4];
}

}  // namespace

void volumeColumnRowTick(const PlaybackRules& rules, const Module& module, Channel& channel,
                         std::uint8_t volumeByte) {
    commandOf(rules, volumeByte).rowTick({rules, module, channel, volumeByte});
}

void volumeColumnLaterTick(const PlaybackRules& rules, const Module& module, Channel& channel,
                           std::uint8_t volumeByte) {
    commandOf(rules, volumeByte).laterTicks({rules, module, channel, volumeByte});
}

}  // namespace quarbtro
