// make-song: writes the intro's song, generated from scratch, to the file given.
//   make-song assets/song.xm

#include <cstdio>
#include <fstream>
#include <vector>

#include "assets/song/song.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-song OUTPUT.xm\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes = quarbtro::song::songBytes();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], bytes.size());
    return 0;
}
