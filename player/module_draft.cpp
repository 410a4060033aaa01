#include "player/module_draft.h"

#include <stdexcept>
#include <utility>

namespace quarbtro {

ModuleDraft::ModuleDraft(std::int16_t channelCount) {
    song.channelCount = channelCount;
    song.songLength = 1;
    song.flags = linearFrequencyTable;
    song.defaultSpeed = 6;
    song.defaultBpm = 125;
    song.initialGlobalVolume = 64;
}

int ModuleDraft::addPattern(std::int32_t rowCount) {
    cells_.emplace_back(std::size_t(rowCount) * song.channelCount, PatternCell{});
    patterns_.push_back({rowCount, cells_.back().data()});
    return int(patterns_.size()) - 1;
}

PatternCell& ModuleDraft::cell(int pattern, int row, int channel) {
    return cells_.at(pattern).at(std::size_t(row) * song.channelCount + channel);
}

int ModuleDraft::addInstrument() {
    Instrument instrument = {};
    for (const Sample*& slot : instrument.samples) slot = &emptySample;
    instruments_.push_back(instrument);
    return int(instruments_.size()) - 1;
}

Instrument& ModuleDraft::instrument(int index) { return instruments_.at(index); }

Sample& ModuleDraft::addSample(int instrumentIndex, std::vector<std::int16_t> frames) {
    Instrument& owner = instrument(instrumentIndex);
    if (owner.sampleCount >= 16) throw std::length_error("an instrument holds at most 16 samples");
    frames_.push_back(std::move(frames));
    Sample sample = {};
    sample.data = frames_.back().data();
    sample.length = std::uint32_t(frames_.back().size());
    sample.loopLength = sample.length;
    sample.loopType = loopNone;
    sample.volume = 64;
    sample.panning = 128;
    sample.bits = 16;
    samples_.push_back(sample);
    owner.samples[owner.sampleCount++] = &samples_.back();
    return samples_.back();
}

// The draft's own samples, which its instruments hold as constant like a loaded module's.
Sample& ModuleDraft::sample(int instrument, int slot) {
    return const_cast<Sample&>(*instruments_.at(static_cast<std::size_t>(instrument)).samples[slot]);
}

const Module& ModuleDraft::module() {
    song.patterns = patterns_.data();
    song.patternCount = std::int32_t(patterns_.size());
    song.instruments = instruments_.data();
    song.instrumentCount = std::int16_t(instruments_.size());
    return song;
}

}  // namespace quarbtro
