#include "assets/song/score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace quarbtro::song {

namespace {

constexpr std::uint8_t vibratoSpeedAndDepth = 0x42;  // about 5 Hz, a fifth of a semitone
constexpr std::uint8_t slideSpeed = 0x0C;            // a semitone and a half per row
constexpr int slideRows = 8;                         // rows a slide may take to arrive
constexpr int vibratoMinimumRows = 6 * rowsPerStep;
constexpr int vibratoDelayRows = 8;

int pitchClass(char letter) {
    switch (letter) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: throw std::invalid_argument(std::string("not a note letter: ") + letter);
    }
}

// The tokens of a melody: bar lines separate them like blanks.
std::vector<std::string_view> words(std::string_view text) {
    constexpr std::string_view separators = " |";
    std::vector<std::string_view> result;
    while (!text.empty()) {
        std::size_t start = text.find_first_not_of(separators);
        if (start == std::string_view::npos) break;
        std::size_t end = text.find_first_of(separators, start);
        result.push_back(text.substr(start, end - start));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    }
    return result;
}

// '0'..'9', 'a'..'f' to 0..15.
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw std::invalid_argument(std::string("not a step: ") + c);
}

void requireBar(std::string_view steps) {
    if (steps.size() != stepsPerBar) {
        throw std::invalid_argument("a bar has 16 steps: " + std::string(steps));
    }
}

// The pad's voicing of a chord: the samples hold the minor triad in root position only.
PadVoicing padVoicing(const Chord& chord) {
    if (chord.minor) {
        if (chord.lowest != 0) {
            throw std::invalid_argument("the pad voices minor chords from the root");
        }
        return padMinor;
    }
    if (chord.seventh) {
        if (chord.lowest != 0) {
            throw std::invalid_argument("the pad voices sevenths from the root");
        }
        return padMajorSeventh;
    }
    const PadVoicing byLowest[] = {padMajor, padMajorThird, padMajorFifth};
    return byLowest[chord.lowest];
}

// The pads' level (0..64) after a row whose volume column is `column`, at three ticks a row: a
// volume sets it, a slide moves it on each of the two later ticks.
int padLevelAfter(int level, std::uint8_t column) {
    if (column >= volume(0) && column <= volume(64)) return column - volume(0);
    if (column >= volumeSlideDown(0) && column <= volumeSlideDown(15)) {
        return std::max(0, level - 2 * (column - volumeSlideDown(0)));
    }
    if (column >= volumeSlideUp(0) && column <= volumeSlideUp(15)) {
        return std::min(64, level + 2 * (column - volumeSlideUp(0)));
    }
    return level;
}

}  // namespace

std::uint8_t noteNumber(std::string_view name) {
    if (name.size() < 2) throw std::invalid_argument("not a note: " + std::string(name));
    int semitone = pitchClass(name[0]);
    std::size_t next = 1;
    if (name[next] == '#') {
        ++semitone;
        ++next;
    }
    int octave = std::stoi(std::string(name.substr(next)));
    int note = 1 + 12 * octave + semitone;
    if (note < 1 || note > 96) throw std::out_of_range("note out of range: " + std::string(name));
    return std::uint8_t(note);
}

Chord chord(std::string_view name) {
    Chord result{pitchClass(name.at(0)), false};
    std::size_t next = 1;
    if (next < name.size() && name[next] == '#') {
        ++result.pitchClass;
        ++next;
    }
    std::string_view rest = name.substr(next);
    if (rest.substr(0, 4) == "maj7") {
        result.seventh = true;
        rest.remove_prefix(4);
    } else if (!rest.empty() && rest.front() == 'm') {
        result.minor = true;
        rest.remove_prefix(1);
    }
    if (!rest.empty() && rest.front() == '/') {
        Chord bass = chord(rest.substr(1));
        int above = (bass.pitchClass - result.pitchClass + 12) % 12;
        if (above == (result.minor ? 3 : 4)) {
            result.lowest = 1;
        } else if (above == 7) {
            result.lowest = 2;
        } else {
            throw std::invalid_argument("not the chord's third or fifth: " + std::string(name));
        }
        rest = {};
    }
    if (!rest.empty()) throw std::invalid_argument("not a chord: " + std::string(name));
    return result;
}

std::vector<Chord> chords(std::initializer_list<std::string_view> names) {
    std::vector<Chord> result;
    for (std::string_view name : names) result.push_back(chord(name));
    return result;
}

std::uint8_t chordTone(const Chord& chord, int tone, int octave) {
    const int minor[] = {0, 3, 7}, major[] = {0, 4, 7};
    int root = 1 + 12 * octave + chord.pitchClass + (chord.pitchClass < 4 ? 12 : 0);
    // Through a pointer: GCC 12 with -fsanitize=undefined picks the wrong array when a
    // conditional expression of two arrays is indexed with a checked division.
    const int* intervals = chord.minor ? minor : major;
    int interval = intervals[tone % 3] + 12 * (tone / 3);
    return std::uint8_t(root + interval);
}

PatternScore::PatternScore(ModuleDraft& draft, const Instruments& instruments, int rows)
    : draft_(draft), instruments_(instruments), number_(draft.addPattern(rows)), rows_(rows) {}

PatternCell& PatternScore::cell(int row, Channel channel) {
    if (row < 0 || row >= rows_) {
        throw std::out_of_range("row " + std::to_string(row) + " is outside the pattern");
    }
    return draft_.cell(number_, row, channel);
}

void PatternScore::play(int row, Channel channel, std::uint8_t note, std::uint8_t instrument,
                        std::uint8_t volumeByte) {
    PatternCell& target = cell(row, channel);
    target.note = note;
    target.instrument = instrument;
    target.volume = volumeByte;
}

void PatternScore::keyOff(int row, Channel channel) {
    PatternCell& target = cell(row, channel);
    target.note = noteKeyOff;
    target.instrument = 0;
    target.volume = 0;
}

void PatternScore::effect(int row, Channel channel, std::uint8_t type, std::uint8_t parameter) {
    PatternCell& target = cell(row, channel);
    target.effect = type;
    target.effectParam = parameter;
}

void PatternScore::tempo(int bpm) {
    effect(0, kickChannel, quarbtro::effect::speedOrTempo, std::uint8_t(bpm));
}

void PatternScore::melody(Channel channel, std::uint8_t instrument, std::string_view text,
                          int startRow) {
    int row = startRow;
    for (std::string_view token : words(text)) {
        bool slide = token.front() == '/';
        if (slide) token.remove_prefix(1);
        std::size_t colon = token.find(':');
        if (colon == std::string_view::npos) {
            throw std::invalid_argument("a melody token needs a length: " + std::string(token));
        }
        std::string_view name = token.substr(0, colon);
        int length = std::stoi(std::string(token.substr(colon + 1))) * rowsPerStep;
        if (name == "r") {
            keyOff(row, channel);
        } else if (slide) {
            // No instrument byte: the slide keeps the running note's envelope.
            play(row, channel, noteNumber(name), 0);
            effect(row, channel, quarbtro::effect::tonePortamento, slideSpeed);
            for (int r = row + 1; r < row + std::min(length, slideRows); ++r) {
                effect(r, channel, quarbtro::effect::tonePortamento, 0);
            }
        } else {
            play(row, channel, noteNumber(name), instrument);
        }
        if (name != "r" && length >= vibratoMinimumRows) {
            for (int r = row + std::max(vibratoDelayRows, slide ? slideRows : 0); r < row + length;
                 ++r) {
                effect(r, channel, quarbtro::effect::vibrato, vibratoSpeedAndDepth);
            }
        }
        row += length;
    }
}

void PatternScore::echo(Channel from, Channel to, int delayRows, std::uint8_t volumeByte,
                        int panning) {
    for (int row = 0; row + delayRows < rows_; ++row) {
        const PatternCell source = cell(row, from);
        PatternCell& target = cell(row + delayRows, to);
        if (source.note != 0) {
            target.note = source.note;
            target.instrument = source.instrument;
            target.volume = source.note == noteKeyOff ? 0 : volumeByte;
        }
        if (source.effect == quarbtro::effect::tonePortamento) {
            target.effect = source.effect;
            target.effectParam = source.effectParam;
        } else if (source.instrument != 0) {
            // The instrument number brings back the sample's own panning: move it again.
            target.effect = quarbtro::effect::setPanning;
            target.effectParam = std::uint8_t(panning);
        }
    }
}

void PatternScore::hits(Channel channel, std::uint8_t instrument, std::uint8_t note,
                        std::string_view steps, int startRow) {
    const Instrument& drum = draft_.instrument(instrument - 1);
    if (drum.sampleCount == 0) {
        throw std::invalid_argument("instrument " + std::to_string(instrument) + " has no sample");
    }
    const int own = drum.samples[0]->volume;
    for (std::size_t step = 0; step < steps.size(); ++step) {
        char c = steps[step];
        if (c == '.') continue;
        int row = startRow + int(step) * rowsPerStep;
        play(row, channel, note, instrument,
             c == 'x' ? 0 : volume((own * (hexDigit(c) + 1) + 8) / 16));
    }
}

void PatternScore::bassline(const std::vector<Chord>& chords, std::string_view rhythm,
                            int startRow, std::uint8_t volumeByte, int octave) {
    requireBar(rhythm);
    for (std::size_t bar = 0; bar < chords.size(); ++bar) {
        for (int step = 0; step < stepsPerBar; ++step) {
            int row = startRow + int(bar) * rowsPerBar + step * rowsPerStep;
            int tone;
            switch (rhythm[step]) {
            case 'R': tone = 0; break;
            case 'F': tone = 2; break;
            case 'O': tone = 3; break;
            case '^': keyOff(row, bassChannel); continue;
            case '.': continue;
            default: throw std::invalid_argument("not a bass step: " + std::string(rhythm));
            }
            play(row, bassChannel, chordTone(chords[bar], tone, octave), instruments_.bass,
                 volumeByte);
        }
    }
}

void PatternScore::arpeggio(Channel channel, std::uint8_t instrument,
                            const std::vector<Chord>& chords, std::string_view pattern, int octave,
                            std::uint8_t volumeByte, int startRow) {
    requireBar(pattern);
    for (std::size_t bar = 0; bar < chords.size(); ++bar) {
        for (int step = 0; step < stepsPerBar; ++step) {
            if (pattern[step] == '.') continue;
            int row = startRow + int(bar) * rowsPerBar + step * rowsPerStep;
            play(row, channel, chordTone(chords[bar], hexDigit(pattern[step]), octave), instrument,
                 volumeByte);
        }
    }
}

void PatternScore::pads(const std::vector<Chord>& chords, int startRow, bool fresh) {
    constexpr std::uint8_t padLeft = 88, padRight = 168;
    for (std::size_t bar = 0; bar < chords.size(); ++bar) {
        int row = startRow + int(bar) * rowsPerBar;
        std::uint8_t note = padNote(padVoicing(chords[bar]), chords[bar].pitchClass);
        bool first = fresh && bar == 0;
        for (Channel channel : {padChannel, padDoubleChannel}) {
            // The volume column is left as it is: swells and fades run through the chords.
            cell(row, channel).note = note;
            cell(row, channel).instrument = first ? instruments_.pad : 0;
        }
        if (first) {
            effect(row, padChannel, quarbtro::effect::setPanning, padLeft);
            setPadVolumeColumn(row, padDoubleChannel, panningColumn(padRight / 16));
        }
        effect(row, padDoubleChannel, quarbtro::effect::portamentoUp, 0x01);
    }
}

void PatternScore::padPanSweep(int fromRow, int toRow, int from, int to) {
    for (int row = fromRow; row < toRow; ++row) {
        int panning = from + (to - from) * (row - fromRow) / std::max(1, toRow - 1 - fromRow);
        effect(row, padChannel, quarbtro::effect::setPanning, std::uint8_t(panning));
        // The double's effect column bends it on each chord change; it keeps its panning there.
        if (cell(row, padDoubleChannel).effect == 0) {
            effect(row, padDoubleChannel, quarbtro::effect::setPanning,
                   std::uint8_t(255 - panning));
        }
    }
}

void PatternScore::setPadVolumeColumn(int row, Channel channel, std::uint8_t volumeByte) {
    std::uint8_t& target = cell(row, channel).volume;
    if (target >= panningColumn(0) && target <= panningColumn(15)) {
        throw std::logic_error("row " + std::to_string(row) +
                               ": the pad's volume column holds its panning");
    }
    target = volumeByte;
}

void PatternScore::padVolume(int row, int level) {
    for (Channel channel : {padChannel, padDoubleChannel}) {
        setPadVolumeColumn(row, channel, volume(level));
    }
}

void PatternScore::padDuck(std::uint8_t kick, double depth, int recoveryRows) {
    const std::uint8_t first = cell(0, padChannel).volume;
    if (first < volume(0) || first > volume(64)) {
        throw std::logic_error("a ducked pad needs a volume on row 0");
    }
    int level = 0, written = -1;
    int sinceKick = recoveryRows;
    for (int row = 0; row < rows_; ++row) {
        level = padLevelAfter(level, cell(row, padChannel).volume);
        const PatternCell& drum = cell(row, kickChannel);
        sinceKick = drum.instrument == kick && drum.note != 0 ? 0 : sinceKick + 1;
        double dip = depth * std::max(0.0, 1.0 - double(sinceKick) / recoveryRows);
        int heard = int(std::lround(level * (1 - dip)));
        for (Channel channel : {padChannel, padDoubleChannel}) {
            setPadVolumeColumn(row, channel, heard == written ? 0 : volume(heard));
        }
        written = heard;
    }
}

void PatternScore::padSwell(int fromRow, int toRow, int from, int to) {
    padVolume(fromRow, from);
    // Each row slides twice (the two later ticks at three ticks a row), by at most 15.
    int level = from;
    for (int row = fromRow + 1; row < toRow; ++row) {
        int target = from + (to - from) * (row + 1 - fromRow) / (toRow - fromRow);
        int step = std::clamp((std::abs(target - level) + 1) / 2, 0, 15);
        if (step == 0) continue;
        std::uint8_t slide = target > level ? volumeSlideUp(step) : volumeSlideDown(step);
        for (Channel channel : {padChannel, padDoubleChannel}) {
            setPadVolumeColumn(row, channel, slide);
        }
        level = padLevelAfter(level, slide);
    }
}

}  // namespace quarbtro::song
