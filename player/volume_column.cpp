#include "player/volume_column.h"

#include <array>

#include "player/modulators.h"

namespace quarbtro {

namespace {

using Handler = void (*)(Channel& channel, std::uint8_t volumeByte);

int parameterOf(std::uint8_t volumeByte) { return volumeByte & 15; }

void nothing(Channel&, std::uint8_t) {}

void setVolume(Channel& channel, std::uint8_t volumeByte) {
    if (volumeByte > volumeCommand::setVolumeLast) return;  // 0x51..0x5F
    channel.volume = volumeByte - volumeCommand::setVolumeFirst;
    channel.flags |= updateVolume;
}

void slideDown(Channel& channel, std::uint8_t volumeByte) { slideVolumeDown(channel, parameterOf(volumeByte)); }
void slideUp(Channel& channel, std::uint8_t volumeByte) { slideVolumeUp(channel, parameterOf(volumeByte)); }

void setVibratoSpeed(Channel& channel, std::uint8_t volumeByte) {
    channel.vibratoSpeed = static_cast<std::uint8_t>(parameterOf(volumeByte));
}

void setVibratoDepth(Channel& channel, std::uint8_t volumeByte) {
    channel.vibratoDepth = static_cast<std::uint8_t>(parameterOf(volumeByte));
}

// On the later ticks the depth is set again and the vibrato runs, as 4xy's would.
void vibrato(Channel& channel, std::uint8_t volumeByte) {
    setVibratoDepth(channel, volumeByte);
    applyVibrato(channel);
    advanceVibrato(channel);
}

void setPanning(Channel& channel, std::uint8_t volumeByte) {
    channel.panning = parameterOf(volumeByte) * 16;
    channel.flags |= updatePanning;
}

void panningSlideLeft(Channel& channel, std::uint8_t volumeByte) { shiftPanning(channel, -parameterOf(volumeByte)); }
void panningSlideRight(Channel& channel, std::uint8_t volumeByte) { shiftPanning(channel, parameterOf(volumeByte)); }

// Toward the row's note, without restarting it; a parameter of 0 keeps the last speed.
void aimTonePortamento(Channel& channel, std::uint8_t volumeByte) {
    const int x = parameterOf(volumeByte);
    if (x != 0) channel.portaSpeed = static_cast<std::uint8_t>(x * 16);
    channel.flags &= ~trigger;
    channel.portaTarget = channel.notePeriod;
}

void tonePortamento(Channel& channel, std::uint8_t) { stepTonePortamento(channel); }

struct Command {
    Handler rowTick;
    Handler laterTicks;
};

// Each command by the volume byte's high nibble; a nibble without a command does nothing.
constexpr std::array<Command, 16> commandTable() {
    std::array<Command, 16> table{};
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

constexpr std::array<Command, 16> commands = commandTable();

}  // namespace

void volumeColumnRowTick(Channel& channel, std::uint8_t volumeByte) {
    commands[volumeByte >> 4].rowTick(channel, volumeByte);
}

void volumeColumnLaterTick(Channel& channel, std::uint8_t volumeByte) {
    commands[volumeByte >> 4].laterTicks(channel, volumeByte);
}

}  // namespace quarbtro
