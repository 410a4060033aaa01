// Checks that a recording of the sound sink holds a reference sound sample for sample, with
// no gap, over a stretch of the reference:
//   recording-match REFERENCE.raw RECORDED.raw FROM_SECONDS TO_SECONDS
// Both files are 44,100 Hz 16-bit little-endian stereo without a header; the recording starts
// before the reference does. The reference's first frame from FROM_SECONDS on that is not
// silent is looked for in the recording (1,024 frames equal in a row); from that alignment
// every frame up to TO_SECONDS must be equal. A gap, a repeat or a dropped frame moves what
// follows it and shows as differing frames. Prints
//   lag SECONDS frames N differing N first-difference SECONDS
// and exits with 0 when no frame differs, 1 when some do, 2 when no alignment is found. When
// frames differ, what follows the first difference is looked for again, and
//   then lag SECONDS
// says where it was found: a later lag means silence was put in (an underrun of the player),
// an earlier one that frames are missing (the recorder fell behind).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr long rate = 44100;
constexpr long alignFrames = 1024;

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
    long differing = 0, first = -1;
    for (long i = from; i < to; ++i) {
        const long at = i + lag;
        const bool same = at >= 0 && at < static_cast<long>(recorded.size()) && recorded[at] == reference[i];
        if (!same) {
            ++differing;
            if (first < 0) first = i;
        }
    }
    std::printf("lag %.4f frames %ld differing %ld first-difference ", static_cast<double>(lag) / rate,
                to - from, differing);
    if (first < 0) {
        std::printf("none\n");
        return 0;
    }
    long next = first;
    while (next < to && reference[next] == 0) ++next;
    const long found = next + alignFrames <= to
                           ? findLag(reference, recorded, next, lag - 2 * rate, lag + 2 * rate)
                           : lag - 2 * rate - 1;
    std::printf("%.4f then lag ", static_cast<double>(first) / rate);
    if (found >= lag - 2 * rate)
        std::printf("%.4f\n", static_cast<double>(found) / rate);
    else
        std::printf("none\n");
    return 1;
}
