#include "tools/capture/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quarbtro {

namespace {

// libpng reports an error by calling this, which must not return; the message is kept.
void keepMessage(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

// libpng's errors come back here by longjmp, so this frame holds nothing to destroy.
bool encode(png_structp png, png_infop info, std::FILE* file, int width, int height,
            png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    // Fast rather than small: a capture writes thousands of these.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const unsigned char* rgb,
              std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string problem;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &problem, keepMessage, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_const_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = rgb + static_cast<std::size_t>(y) * width * 3;
    const bool written = png && info &&
                         encode(png, info, file, width, height, const_cast<png_bytepp>(rows.data()));
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": " + (problem.empty() ? std::strerror(errno) : problem);
        return false;
    }
    return true;
}

}  // namespace quarbtro
