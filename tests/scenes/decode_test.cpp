// Decoding JPEG images from memory: the four embedded images, a greyscale one, and broken
// streams, which end the process through the JPEG library's own error handler.

#include <gtest/gtest.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "assets/image1Jpeg.h"
#include "assets/image2Jpeg.h"
#include "assets/image3Jpeg.h"
#include "assets/image4Jpeg.h"
#include "scenes/texture.h"

namespace quarbtro {
namespace {

struct Rgb {
    int r, g, b;
};

Rgb pixelAt(const Image* image, int x, int y) {
    const unsigned char* p = image->pixels + (y * image->width + x) * 3;
    return {p[0], p[1], p[2]};
}

Image* decodeQuietly(const unsigned char* data, int size) {
    testing::internal::CaptureStderr();
    Image* image = decodeJpeg(data, size);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no warning, comments skipped";
    return image;
}

TEST(DecodeJpeg, EmbeddedImagesDecodeToTheirSizesWithoutAWord) {
    const struct {
        const unsigned char* data;
        int size, side;
    } images[] = {{image1Jpeg, image1JpegSize, 256},
                  {image2Jpeg, image2JpegSize, 128},
                  {image3Jpeg, image3JpegSize, 128},
                  {image4Jpeg, image4JpegSize, 128}};
    for (const auto& embedded : images) {
        Image* image = decodeQuietly(embedded.data, embedded.size);
        EXPECT_EQ(image->width, embedded.side);
        EXPECT_EQ(image->height, embedded.side);
        freeImage(image);
    }
}

TEST(DecodeJpeg, PixelsAreRgbRowsTopFirst) {
    Image* ball = decodeQuietly(image4Jpeg, image4JpegSize);
    const Rgb square = pixelAt(ball, 17, 15);  // inside the first black square, upper left
    EXPECT_LT(square.r + square.g + square.b, 60);
    const Rgb mirrored = pixelAt(ball, 17, 127 - 15);
    EXPECT_GT(mirrored.r + mirrored.g + mirrored.b, 60);
    freeImage(ball);

    Image* sphereMap = decodeQuietly(image2Jpeg, image2JpegSize);
    const Rgb top = pixelAt(sphereMap, 64, 0), bottom = pixelAt(sphereMap, 64, 120);
    EXPECT_GT(top.b, 200) << "white at the top";
    EXPECT_GT(bottom.r, bottom.b + 40) << "orange-brown below";
    freeImage(sphereMap);
}

std::vector<unsigned char> greyJpeg(int side) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = cinfo.image_height = side;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(side, 200);
    for (int y = 0; y < side; ++y) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> bytes(out, out + size);
    std::free(out);
    return bytes;
}

TEST(DecodeJpeg, GreyscaleImagesWidenToRgbSoTheUploadStaysInside) {
    const std::vector<unsigned char> grey = greyJpeg(16);
    Image* image = decodeQuietly(grey.data(), static_cast<int>(grey.size()));
    EXPECT_EQ(image->width, 16);
    const Rgb last = pixelAt(image, 15, 15);  // 3 bytes a pixel: this is the buffer's end
    EXPECT_NEAR(last.r, 200, 2);
    EXPECT_EQ(last.r, last.g);
    EXPECT_EQ(last.g, last.b);
    freeImage(image);
}

using DecodeJpegDeathTest = ::testing::Test;

TEST_F(DecodeJpegDeathTest, NotAJpegEndsTheProcessWithTheLibrarysMessage) {
    const unsigned char garbage[] = "this is not a picture";
    EXPECT_EXIT(decodeJpeg(garbage, sizeof garbage), testing::ExitedWithCode(1),
                "Not a JPEG file");
}

TEST_F(DecodeJpegDeathTest, AStreamCutShortEndsTheProcessRatherThanHang) {
    EXPECT_EXIT(decodeJpeg(image1Jpeg, image1JpegSize / 2), testing::ExitedWithCode(1),
                "too few scanlines");
    // Cut inside the headers, or empty: the header read suspends, and the library refuses to
    // go on from there.
    EXPECT_EXIT(decodeJpeg(image2Jpeg, 40), testing::ExitedWithCode(1), "Improper call");
    EXPECT_EXIT(decodeJpeg(image2Jpeg, 0), testing::ExitedWithCode(1), "Improper call");
}

}  // namespace
}  // namespace quarbtro
