#include "window/picture_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quarbtro {
namespace {

// The main pass's viewport in the design window: its lower 660 x 480.
constexpr PixelRect mainPass{0, 0, 660, 480};

TEST(PictureLayout, DesignSizeIsDrawnAsDesigned) {
    const PictureLayout layout = pictureLayout(660, 500);
    EXPECT_FALSE(layout.scaled);
    EXPECT_EQ(layout.map(mainPass), mainPass);
    EXPECT_EQ(layout.map({0, 0, 64, 64}), (PixelRect{0, 0, 64, 64}));
}

// A 640 x 480 window shows the picture at its own size: the design's viewport moved 20 pixels
// left, so that the picture's pixels are the design's.
TEST(PictureLayout, PictureSizeIsTheDesignMovedLeft) {
    const PictureLayout layout = pictureLayout(640, 480);
    EXPECT_TRUE(layout.scaled);
    EXPECT_EQ(layout.picture, (PixelRect{0, 0, 640, 480}));
    EXPECT_EQ(layout.map(mainPass), (PixelRect{-20, 0, 660, 480}));
}

// Wide screens: the full height, 4:3, bars left and right.
TEST(PictureLayout, WideScreensFillTheHeight) {
    EXPECT_EQ(pictureLayout(1920, 1080).picture, (PixelRect{240, 0, 1440, 1080}));
    EXPECT_EQ(pictureLayout(1920, 1080).map(mainPass), (PixelRect{195, 0, 1485, 1080}));
    EXPECT_EQ(pictureLayout(2560, 1440).picture, (PixelRect{320, 0, 1920, 1440}));
    EXPECT_EQ(pictureLayout(2560, 1440).map(mainPass), (PixelRect{260, 0, 1980, 1440}));
    EXPECT_EQ(pictureLayout(1366, 768).picture, (PixelRect{171, 0, 1024, 768}));
    EXPECT_EQ(pictureLayout(1000, 700).picture, (PixelRect{33, 0, 933, 700}));
}

// Tall windows: the full width, bars above and below.
TEST(PictureLayout, TallWindowsFillTheWidth) {
    EXPECT_EQ(pictureLayout(1280, 1024).picture, (PixelRect{0, 32, 1280, 960}));
    EXPECT_EQ(pictureLayout(660, 700).picture, (PixelRect{0, 102, 660, 495}));
    // One pixel off the design size is scaled, not cut.
    EXPECT_EQ(pictureLayout(660, 501).picture, (PixelRect{0, 3, 660, 495}));
}

TEST(PictureLayout, ShapeKeptWithinAPixel) {
    for (int width : {1, 3, 17, 640, 661, 801, 1023, 1366, 1919, 3840})
        for (int height : {1, 2, 7, 480, 499, 600, 767, 1080, 2160}) {
            const PixelRect p = pictureLayout(width, height).picture;
            EXPECT_TRUE(p.width == width || p.height == height) << width << "x" << height;
            EXPECT_LE(p.x + p.width, width);
            EXPECT_LE(p.y + p.height, height);
            EXPECT_GE(p.width, 1);
            EXPECT_GE(p.height, 1);
            // Rounding moves the shape by at most one pixel in the shorter side.
            EXPECT_LE(std::abs(p.width * 3 - p.height * 4), 4) << width << "x" << height;
        }
}

// Edges rounded one by one: two viewports that meet in the design still meet.
TEST(PictureLayout, SharedEdgesStayShared) {
    const PictureLayout layout = pictureLayout(1000, 700);
    const PixelRect left = layout.map({0, 0, 333, 480}), right = layout.map({333, 0, 327, 480});
    EXPECT_EQ(left.x + left.width, right.x);
    const PixelRect whole = layout.map(mainPass);
    EXPECT_EQ(whole.x + whole.width, right.x + right.width);
    // The picture's edges are the viewport's: the picture column 20 maps to its left edge.
    EXPECT_EQ(layout.map({20, 0, 640, 480}), layout.picture);
}

}  // namespace
}  // namespace quarbtro
