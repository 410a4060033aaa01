#pragma once
// Songs built in code for the sequencer tests: patterns of empty cells to fill in, and
// instruments with one sample each, all owned by the TestSong, with a player of its own.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "player/channel.h"
#include "player/module.h"
#include "player/playback.h"
#include "player/player.h"
#include "player/sequencer.h"

namespace quarbtro {

template <typename T>
std::vector<T> reserved(std::size_t capacity) {
    std::vector<T> items;
    items.reserve(capacity);
    return items;
}

class TestSong {
public:
    Module module{};

    TestSong(int channelCount, std::vector<int> rowsPerPattern, bool linear = true) {
        module.channelCount = static_cast<std::int16_t>(channelCount);
        module.flags = linear ? linearFrequencyTable : 0;
        module.defaultSpeed = 6;
        module.defaultBpm = 125;
        module.initialGlobalVolume = 64;
        for (int rows : rowsPerPattern) {
            cells_.emplace_back(static_cast<std::size_t>(rows * channelCount), PatternCell{});
            patterns_.push_back(Pattern{rows, nullptr});
        }
        for (std::size_t i = 0; i < patterns_.size(); ++i) patterns_[i].cells = cells_[i].data();
        module.patterns = patterns_.data();
        module.patternCount = static_cast<std::int32_t>(patterns_.size());
        setOrders({0});
    }

    void setOrders(std::vector<std::uint8_t> orders) {
        for (std::size_t i = 0; i < orders.size(); ++i) module.orderTable[i] = orders[i];
        module.songLength = static_cast<std::int16_t>(orders.size());
    }

    PatternCell& cell(int pattern, int row, int channel) {
        return cells_[pattern][static_cast<std::size_t>(row * module.channelCount + channel)];
    }

    // Adds an instrument (numbered from 1) whose every note plays one sample of `length` frames
    // of a constant value; a forward loop over the whole sample unless `looped` is false.
    Instrument& addInstrument(std::uint32_t length = 1000, bool looped = true) {
        data_.emplace_back(length + 8, std::int16_t{8000});
        Sample& sample = samples_.emplace_back();
        sample.data = data_.back().data();
        sample.length = length;
        sample.loopStart = 0;
        sample.loopLength = length;
        sample.loopType = looped ? loopForward : loopNone;
        sample.volume = 64;
        sample.panning = 128;
        sample.bits = 16;
        Instrument& instrument = instruments_.emplace_back();
        instrument.sampleCount = 1;
        instrument.samples[0] = &sample;
        for (int s = 1; s < 16; ++s) instrument.samples[s] = &emptySample;
        module.instruments = instruments_.data();
        module.instrumentCount = static_cast<std::int16_t>(instruments_.size());
        return instrument;
    }

    Sample& sampleOf(int instrumentNumber) { return samples_[instrumentNumber - 1]; }  // one each

    ~TestSong() { endPlayback(*player_); }

    void start() {
        configureOutput(*player_, 44100);
        beginPlayback(*player_, &module);
    }
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) sequencerTick(*player_, module);
    }
    Player& player() { return *player_; }
    SongState& state() { return player_->song; }
    Channel& channel(int c) { return player_->channels[c]; }
    Voice& voiceOf(int c) { return *player_->channels[c].voice; }

private:
    std::unique_ptr<Player> player_ = std::make_unique<Player>();
    std::vector<Pattern> patterns_;
    std::vector<std::vector<PatternCell>> cells_;
    std::vector<Instrument> instruments_ = reserved<Instrument>(128);  // never moves
    std::deque<Sample> samples_;
    std::deque<std::vector<std::int16_t>> data_;
};

}  // namespace quarbtro
