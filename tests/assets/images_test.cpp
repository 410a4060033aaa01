// The embedded images as JPEG streams: baseline, 8 bits, 3 components, JFIF APP0 first, a
// 21-byte comment segment on images 2 to 4, the sizes the scenes expect.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "assets/image1Jpeg.h"
#include "assets/image2Jpeg.h"
#include "assets/image3Jpeg.h"
#include "assets/image4Jpeg.h"

namespace quarbtro {
namespace {

struct Segments {
    std::string markers;  // the marker bytes after 0xff, as "e0 fe c0 ...", up to the scan
    int commentSegmentBytes = 0;  // marker, length field and text
    int precision = 0, height = 0, width = 0, components = 0;
    bool jfif = false;
};

Segments scan(const unsigned char* data, int size) {
    Segments found;
    int at = 2;  // past SOI
    while (at + 4 <= size && data[at] == 0xff) {
        const int marker = data[at + 1];
        const int length = data[at + 2] << 8 | data[at + 3];
        char name[4];
        std::snprintf(name, sizeof name, "%02x ", marker);
        found.markers += name;
        const unsigned char* body = data + at + 4;
        if (marker == 0xe0) found.jfif = std::string(body, body + 5) == std::string("JFIF\0", 5);
        if (marker == 0xfe) found.commentSegmentBytes = length + 2;
        if (marker == 0xc0) {
            found.precision = body[0];
            found.height = body[1] << 8 | body[2];
            found.width = body[3] << 8 | body[4];
            found.components = body[5];
        }
        if (marker == 0xda) break;
        at += 2 + length;
    }
    return found;
}

void expectImage(const unsigned char* data, int size, int side, bool comment, int nearBytes) {
    ASSERT_GT(size, 4);
    EXPECT_EQ(data[0], 0xff);
    EXPECT_EQ(data[1], 0xd8);
    EXPECT_EQ(data[size - 2], 0xff);
    EXPECT_EQ(data[size - 1], 0xd9);
    EXPECT_EQ(data[size], 0) << "the embedded array ends in a zero";
    const Segments s = scan(data, size);
    EXPECT_TRUE(s.jfif);
    EXPECT_EQ(s.markers.substr(0, 3), "e0 ");
    EXPECT_EQ(s.markers.find("c2"), std::string::npos) << "not progressive: " << s.markers;
    EXPECT_EQ(s.precision, 8);
    EXPECT_EQ(s.width, side);
    EXPECT_EQ(s.height, side);
    EXPECT_EQ(s.components, 3);
    EXPECT_EQ(s.commentSegmentBytes, comment ? 21 : 0);
    EXPECT_GT(size, nearBytes * 2 / 3);
    EXPECT_LT(size, nearBytes * 4 / 3);
}

TEST(Images, WallIs256SquareWithoutComment) {
    expectImage(image1Jpeg, image1JpegSize, 256, false, 5466);
}
TEST(Images, SphereMapIs128SquareWithComment) {
    expectImage(image2Jpeg, image2JpegSize, 128, true, 5140);
}
TEST(Images, MeshTileIs128SquareWithComment) {
    expectImage(image3Jpeg, image3JpegSize, 128, true, 1143);
}
TEST(Images, BallIs128SquareWithComment) {
    expectImage(image4Jpeg, image4JpegSize, 128, true, 2923);
}

}  // namespace
}  // namespace quarbtro
