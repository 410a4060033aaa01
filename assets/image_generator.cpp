// Draws the intro's four images and writes them as baseline JPEG files:
//   make-images DIRECTORY     writes DIRECTORY/image1.jpg ... image4.jpg
// Everything is computed from fixed seeds, so the same library writes the same bytes every
// time (a test regenerates the committed files and compares them byte for byte).
//
// The files are 8-bit, 3-component JPEG with a JFIF APP0 segment; images 2 to 4 also carry a
// comment segment of 21 bytes (marker, length and a 17-character text), which the decoder has
// to skip.

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

class Picture {
public:
    Picture(int width, int height) : width(width), height(height), bytes(width * height * 3) {}
    void set(int x, int y, Rgb c) {
        unsigned char* p = &bytes[(y * width + x) * 3];
        p[0] = clampByte(c.r);
        p[1] = clampByte(c.g);
        p[2] = clampByte(c.b);
    }
    const int width, height;
    std::vector<unsigned char> bytes;  // RGB rows, top row first

private:
    static unsigned char clampByte(double v) {
        return static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
    }
};

// A small deterministic generator (xorshift32), so the pictures never depend on the C library.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    // Uniform in [-1, 1).
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

// Image 1, 256 x 256: grey fine-grained noise, crossed by thin light vertical lines and one dark
// diagonal stripe (the tunnel wall and the intro's cylinder).
Picture drawWall() {
    Picture p(256, 256);
    Noise noise(0x5eed0001u);
    const int lineColumns[] = {23, 61, 98, 140, 171, 219, 243};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            double v = 128 + 22 * noise.next();
            for (int column : lineColumns)
                if (x == column) v += 70;
            // The stripe runs from the top left to the bottom right, wrapping like the texture.
            const int d = ((x - y) % 256 + 256) % 256;
            const double distance = std::min(d, 256 - d);
            v *= 0.35 + 0.65 * smoothstep(5, 11, distance);
            p.set(x, y, {v, v, v * 1.02});
        }
    }
    return p;
}

// A basket weave: strands in cells of `cell` pixels, horizontal and vertical by turns, each
// strand rounded across its width and darker where it dips under its neighbour. Returns the
// brightness factor at (x, y), about 0.3 (gaps) to 1.15 (strand tops).
double weave(int x, int y, int cell) {
    const int cx = x / cell, cy = y / cell;
    const bool horizontal = (cx + cy) % 2 == 0;
    const double along = (horizontal ? x : y) % cell + 0.5;
    const double across = (horizontal ? y : x) % cell + 0.5;
    const double round = std::sin(pi * across / cell);
    const double dip = 0.75 + 0.25 * std::sin(pi * along / cell);
    return 0.3 + 0.85 * round * dip;
}

// Image 2, 128 x 128: an orange-brown woven pattern fading to white at the top (sphere-mapped
// onto the tunnel's ball).
Picture drawOrangeWeave() {
    Picture p(128, 128);
    Noise noise(0x5eed0002u);
    const Rgb orange{205, 110, 40};
    const Rgb white{255, 255, 250};
    for (int y = 0; y < p.height; ++y) {
        const double fade = 1.0 - smoothstep(0, 56, y);  // 1 at the top row, 0 from row 56
        for (int x = 0; x < p.width; ++x) {
            const Rgb woven = scale(orange, weave(x, y, 8) * (1 + 0.08 * noise.next()));
            p.set(x, y, mix(woven, white, fade));
        }
    }
    return p;
}

// Image 3, 128 x 128: a pale sand-coloured tile with soft cross-shaped creases and darker
// corners (the intro's height-field sheet).
Picture drawSandTile() {
    Picture p(128, 128);
    const Rgb sand{232, 214, 172};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const double u = (x + 0.5) / 64 - 1, v = (y + 0.5) / 64 - 1;  // -1 .. 1
            const double crease = 0.12 * (std::exp(-u * u * 90) + std::exp(-v * v * 90));
            const double corner = 0.3 * smoothstep(0.9, 1.9, u * u + v * v);
            p.set(x, y, scale(sand, 1 - crease - corner));
        }
    }
    return p;
}

// Image 4, 128 x 128: a brown woven pattern, lighter in the middle, with two small black squares
// near the upper left (the intro's ball).
Picture drawBrownWeave() {
    Picture p(128, 128);
    Noise noise(0x5eed0004u);
    const Rgb brown{120, 72, 38};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const double dx = (x - 63.5) / 64, dy = (y - 63.5) / 64;
            const double light = 1.0 + 0.6 * std::exp(-(dx * dx + dy * dy) * 2.5);
            Rgb c = scale(brown, weave(x, y, 16) * light * (1 + 0.04 * noise.next()));
            const bool inFirst = x >= 14 && x < 22 && y >= 12 && y < 20;
            const bool inSecond = x >= 30 && x < 38 && y >= 18 && y < 26;
            if (inFirst || inSecond) c = {0, 0, 0};
            p.set(x, y, c);
        }
    }
    return p;
}

bool writeJpeg(const Picture& picture, const std::string& path, int quality,
               const char* comment) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        return false;
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);  // baseline, JFIF APP0, 4:2:0 chroma
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (comment)
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment),
                          std::char_traits<char>::length(comment));
    for (int y = 0; y < picture.height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(&picture.bytes[y * picture.width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    // Seventeen characters each: with the marker and the length field, 21 bytes.
    const bool written = writeJpeg(drawWall(), dir + "/image1.jpg", 25, nullptr) &&
                         writeJpeg(drawOrangeWeave(), dir + "/image2.jpg", 88, "quarbtro: image 2") &&
                         writeJpeg(drawSandTile(), dir + "/image3.jpg", 50, "quarbtro: image 3") &&
                         writeJpeg(drawBrownWeave(), dir + "/image4.jpg", 72, "quarbtro: image 4");
    return written ? 0 : 1;
}
