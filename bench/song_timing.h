#pragma once
// What the player's benchmarks share: the songs they render (the embedded song and the files
// named on the command line), CPU time of the calling thread, medians, and their arguments:
//
//   NAME [--seconds S] [--runs N] [FILE.xm ...]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/songXm.h"

namespace quarbtro::bench {

struct Song {
    std::string name;
    std::vector<unsigned char> bytes;
};

inline double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

[[noreturn]] inline void fail(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::exit(1);
}

struct Arguments {
    double seconds;  // of each song rendered
    int runs;        // the median of this many
    std::vector<Song> songs;
};

// Reads the arguments (the defaults given); usage errors end the program with status 2.
inline Arguments readArguments(const char* program, int argc, char** argv, double seconds, int runs) {
    Arguments arguments{seconds, runs, {{"the embedded song", {songXm, songXm + songXmSize}}}};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--seconds" && i + 1 < argc) {
            arguments.seconds = std::atof(argv[++i]);
        } else if (argument == "--runs" && i + 1 < argc) {
            arguments.runs = std::atoi(argv[++i]);
        } else if (!argument.empty() && argument[0] == '-') {
            std::fprintf(stderr, "usage: %s [--seconds S] [--runs N] [FILE.xm ...]\n", program);
            std::exit(2);
        } else {
            std::ifstream file(argument, std::ios::binary);
            if (!file) fail(program, "cannot read " + argument);
            Song song{argument.substr(argument.find_last_of('/') + 1), {}};
            song.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            arguments.songs.push_back(std::move(song));
        }
    }
    if (!(arguments.seconds > 0) || arguments.runs < 1) fail(program, "--seconds and --runs take positive numbers");
    return arguments;
}

}  // namespace quarbtro::bench
