// Compares a recording with the sound it should contain, for the end-to-end sound tests:
//   audio-match REFERENCE.raw RECORDED.raw [FROM_SECONDS TO_SECONDS]
// Both files are 44,100 Hz 16-bit little-endian stereo without a header. The recording may
// start earlier than the reference (it runs before the program starts playing) and may have
// gaps (device underruns on a busy machine), so the reference is aligned once as a whole and
// then window by window: one second each, first by loudness within a second of the lag before
// it, then sample by sample within 10 ms of that. Prints:
//   lag SECONDS global R windows N median R minimum R
// where R are normalised cross-correlations (1 = the same waveform, 0 = unrelated).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;

std::vector<float> readMono(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<float> mono(bytes.size() / 4);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        auto sample = [&](std::size_t at) {
            return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                             static_cast<std::uint8_t>(bytes[at + 1]) << 8);
        };
        mono[i] = (sample(4 * i) + sample(4 * i + 2)) * 0.5f;
    }
    return mono;
}

// Normalised correlation of reference[from, from + count) with recorded from from + lag on.
double correlation(const std::vector<float>& reference, const std::vector<float>& recorded,
                   long from, long count, long lag) {
    if (from + lag < 0 || from + lag + count > static_cast<long>(recorded.size())) return -2;
    double product = 0, referenceEnergy = 0, recordedEnergy = 0;
    for (long i = 0; i < count; ++i) {
        const double a = reference[from + i], b = recorded[from + lag + i];
        product += a * b;
        referenceEnergy += a * a;
        recordedEnergy += b * b;
    }
    if (referenceEnergy == 0 || recordedEnergy == 0) return 0;
    return product / std::sqrt(referenceEnergy * recordedEnergy);
}

// Loudness per 10 ms, for the coarse alignment.
std::vector<float> envelope(const std::vector<float>& samples) {
    std::vector<float> blocks(samples.size() / 441);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        double energy = 0;
        for (int i = 0; i < 441; ++i) energy += double(samples[b * 441 + i]) * samples[b * 441 + i];
        blocks[b] = static_cast<float>(std::sqrt(energy / 441));
    }
    return blocks;
}

long bestLag(const std::vector<float>& reference, const std::vector<float>& recorded, long from,
             long count, long lowest, long highest, double* best) {
    long lag = lowest;
    *best = -2;
    for (long candidate = lowest; candidate <= highest; ++candidate) {
        const double r = correlation(reference, recorded, from, count, candidate);
        if (r > *best) {
            *best = r;
            lag = candidate;
        }
    }
    return lag;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: audio-match REFERENCE.raw RECORDED.raw [FROM_SECONDS TO_SECONDS]\n");
        return 2;
    }
    const std::vector<float> reference = readMono(argv[1]);
    const std::vector<float> recorded = readMono(argv[2]);
    const long from = argc == 5 ? std::lround(std::stod(argv[3]) * rate) : 0;
    long to = argc == 5 ? std::lround(std::stod(argv[4]) * rate) : static_cast<long>(reference.size());
    to = std::min<long>(to, static_cast<long>(reference.size()));
    if (to - from < rate || recorded.size() < reference.size() / 2) {
        std::fprintf(stderr, "audio-match: too little sound to compare\n");
        return 1;
    }

    // Coarse: the loudness curves, 10 ms apart, over the whole span.
    const std::vector<float> referenceLoudness = envelope(reference), recordedLoudness = envelope(recorded);
    const long blockFrom = from / 441, blockCount = (to - from) / 441;
    double coarse = 0;
    const long maxBlockLag = static_cast<long>(recordedLoudness.size()) - blockFrom - blockCount;
    const long blockLag = bestLag(referenceLoudness, recordedLoudness, blockFrom, blockCount,
                                  -blockFrom, std::max(0L, maxBlockLag), &coarse);
    // Fine: sample by sample within a block either side, over two seconds.
    double global = 0;
    long lag = bestLag(reference, recorded, from, 2 * rate, blockLag * 441 - 441, blockLag * 441 + 441, &global);
    global = correlation(reference, recorded, from, to - from, lag);

    std::vector<double> windows;
    for (long start = from; start + rate <= to; start += rate) {
        double r = 0;
        const long around = lag / 441;
        const long loudnessLag = bestLag(referenceLoudness, recordedLoudness, start / 441, rate / 441,
                                         around - 100, around + 100, &r);
        lag = bestLag(reference, recorded, start, rate, loudnessLag * 441 - 441, loudnessLag * 441 + 441, &r);
        windows.push_back(r);
    }
    std::vector<double> sorted = windows;
    std::sort(sorted.begin(), sorted.end());
    std::printf("lag %.4f global %.4f windows %zu median %.4f minimum %.4f\n",
                static_cast<double>(lag) / rate, global, sorted.size(), sorted[sorted.size() / 2], sorted.front());
    return 0;
}
