// wav-levels: level figures of a 16-bit PCM WAV file (such as xmrender writes) over a span.
//
//   wav-levels FILE.wav [--from S] [--to S]
//
// Prints one figure a line, over the frames from S to S seconds (default: the whole file):
//   fullScale N        samples at -32768 or 32767, where a mix would have been clipped
//   peakDbfs X         the largest magnitude, in dB relative to 32768
//   rmsDbfs X          the root mean square of all samples of all channels, same reference
//   longestSilence X   seconds, the longest run of frames in which every channel stays within
//                      +-32 (-60 dBFS)
// Exit status 0; 1 when the file is not 16-bit PCM WAV; 2 for wrong arguments.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int silenceThreshold = 32;

struct Wav {
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;  // interleaved
};

std::uint32_t little(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// Reads the "fmt " and "data" chunks of a RIFF WAVE file; false with a reason when it is not
// 16-bit PCM.
bool readWav(const char* path, Wav& wav, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        problem = "not a RIFF WAVE file";
        return false;
    }
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + at;
        std::size_t size = little(chunk + 4, 4);
        std::size_t available = std::min(size, bytes.size() - at - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            int format = int(little(chunk + 8, 2)), bits = int(little(chunk + 22, 2));
            wav.channels = int(little(chunk + 10, 2));
            wav.rate = int(little(chunk + 12, 4));
            if (format != 1 || bits != 16 || wav.channels < 1 || wav.rate < 1) {
                problem = "not 16-bit PCM";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            wav.samples.resize(available / 2);
            for (std::size_t k = 0; k < wav.samples.size(); ++k) {
                wav.samples[k] = std::int16_t(little(chunk + 8 + 2 * k, 2));
            }
            return true;
        }
        at += 8 + size + (size & 1);
    }
    problem = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

double decibels(double magnitude) {
    return magnitude > 0 ? 20 * std::log10(magnitude / 32768.0) : -INFINITY;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: wav-levels FILE.wav [--from SECONDS] [--to SECONDS]\n");
    std::exit(2);
}

double seconds(const char* text) {
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0)) usage();
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = nullptr;
    double from = 0, to = INFINITY;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--from") == 0 && i + 1 < argc) {
            from = seconds(argv[++i]);
        } else if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc) {
            to = seconds(argv[++i]);
        } else if (argv[i][0] != '-' && !path) {
            path = argv[i];
        } else {
            usage();
        }
    }
    if (!path) usage();

    Wav wav;
    std::string problem;
    if (!readWav(path, wav, problem)) {
        std::fprintf(stderr, "wav-levels: %s: %s\n", path, problem.c_str());
        return 1;
    }
    std::size_t frames = wav.samples.size() / wav.channels;
    std::size_t first = std::min(frames, std::size_t(std::llround(from * wav.rate)));
    std::size_t last =
        std::isinf(to) ? frames : std::min(frames, std::size_t(std::llround(to * wav.rate)));
    last = std::max(first, last);

    long fullScale = 0;
    int peak = 0;
    double sumOfSquares = 0;
    std::size_t silentRun = 0, longestSilentRun = 0;
    for (std::size_t frame = first; frame < last; ++frame) {
        bool silent = true;
        for (int channel = 0; channel < wav.channels; ++channel) {
            int sample = wav.samples[frame * wav.channels + channel];
            if (sample == -32768 || sample == 32767) ++fullScale;
            peak = std::max(peak, std::abs(sample));
            sumOfSquares += double(sample) * sample;
            if (std::abs(sample) > silenceThreshold) silent = false;
        }
        silentRun = silent ? silentRun + 1 : 0;
        longestSilentRun = std::max(longestSilentRun, silentRun);
    }
    std::size_t count = (last - first) * wav.channels;
    double rms = count ? std::sqrt(sumOfSquares / double(count)) : 0;
    std::printf("fullScale %ld\n", fullScale);
    std::printf("peakDbfs %.2f\n", decibels(peak));
    std::printf("rmsDbfs %.2f\n", decibels(rms));
    std::printf("longestSilence %.3f\n", double(longestSilentRun) / wav.rate);
    return 0;
}
