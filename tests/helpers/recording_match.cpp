// Checks that a recording of the sound sink holds a reference sound sample for sample, with
// no gap, over a stretch of the reference:
//   recording-match REFERENCE.raw RECORDED.raw FROM_SECONDS TO_SECONDS
// Both files are 44,100 Hz 16-bit little-endian stereo without a header; the recording starts
// before the reference does. The reference's first frame from FROM_SECONDS on that is not
// silent is looked for in the recording (1,024 frames equal in a row); from that alignment
// every frame up to TO_SECONDS must be equal. Where one is not, that is a gap (silence put in
// by an underrun, frames missing from the recording, anything changed): what follows is looked
// for again (from 4,096 frames on, within 5 s of where it was) and the comparison goes on from
// there. Prints
//   lag SECONDS frames N gaps N first-gap SECONDS shift SECONDS missing SECONDS first-missing SECONDS
// (shift: how much later the end is than the start; more silence put in than frames missing
// makes it positive; missing: the reference left out at the gaps, the recording going on later
// in it than where it stopped; first-missing: that at the first gap alone) and exits with 0 when there is no gap, 1 when there are gaps, 2
// when the reference is not found, or is lost after a gap.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr long rate = 44100;
constexpr long alignFrames = 1024;
// How far after the start of a gap the comparison resumes.
constexpr long resumeFrames = 4096;
// How far the recording may have moved against the reference at a gap.
constexpr long searchFrames = 5 * rate;

// The first lag in [low, high) at which `alignFrames` frames of the reference from `start` are
// in the recording; -1 - low when there is none.
long findLag(const std::vector<std::uint32_t>& reference, const std::vector<std::uint32_t>& recorded,
             long start, long low, long high) {
    for (long lag = low; lag < high; ++lag) {
        const long at = start + lag;
        if (at < 0) continue;
        if (at + alignFrames > static_cast<long>(recorded.size())) break;
        long same = 0;
        while (same < alignFrames && recorded[at + same] == reference[start + same]) ++same;
        if (same == alignFrames) return lag;
    }
    return low - 1;
}

std::vector<std::uint32_t> readFrames(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
    std::vector<std::uint32_t> frames(bytes.size() / 4);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                    static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: recording-match REFERENCE.raw RECORDED.raw FROM_SECONDS TO_SECONDS\n");
        return 2;
    }
    const std::vector<std::uint32_t> reference = readFrames(argv[1]);
    const std::vector<std::uint32_t> recorded = readFrames(argv[2]);
    const long from = static_cast<long>(std::atof(argv[3]) * rate);
    long to = static_cast<long>(std::atof(argv[4]) * rate);
    if (to > static_cast<long>(reference.size())) to = static_cast<long>(reference.size());

    long start = from;
    while (start < to && reference[start] == 0) ++start;
    if (start + alignFrames > to) {
        std::fprintf(stderr, "recording-match: the reference is silent there\n");
        return 2;
    }
    const long lag = findLag(reference, recorded, start, -start, static_cast<long>(recorded.size()));
    if (lag < -start) {
        std::printf("lag none frames 0 differing 0 first-difference none\n");
        return 2;
    }
    long at = start, current = lag, gaps = 0, first = -1, missing = 0, firstMissing = 0;
    bool lost = false;
    while (at < to) {
        const long position = at + current;
        if (position >= 0 && position < static_cast<long>(recorded.size()) &&
            recorded[position] == reference[at]) {
            ++at;
            continue;
        }
        ++gaps;
        if (first < 0) first = at;
        const long gap = at;
        // What the recording lacks at a gap is not there to be found: look further on.
        at += resumeFrames;
        while (at < to && reference[at] == 0) ++at;
        if (at + alignFrames > to) break;  // too little left to look for
        const long found = findLag(reference, recorded, at, current - searchFrames, current + searchFrames);
        if (found < current - searchFrames) {
            lost = true;
            break;
        }
        current = found;
        // Back to where the recording took up the reference again.
        long resumed = at;
        while (resumed > gap && resumed - 1 + current >= 0 && recorded[resumed - 1 + current] == reference[resumed - 1])
            --resumed;
        missing += resumed - gap;
        if (gaps == 1) firstMissing = missing;
    }
    std::printf("lag %.4f frames %ld gaps %ld first-gap ", static_cast<double>(lag) / rate, to - from, gaps);
    if (first < 0)
        std::printf("none");
    else
        std::printf("%.4f", static_cast<double>(first) / rate);
    std::printf(" shift %.4f missing %.4f first-missing %.4f%s\n", static_cast<double>(current - lag) / rate,
                static_cast<double>(missing) / rate, static_cast<double>(firstMissing) / rate,
                lost ? " then lost" : "");
    if (lost) return 2;
    return gaps == 0 ? 0 : 1;
}
