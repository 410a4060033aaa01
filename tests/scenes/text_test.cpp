// Glyph expansion and the placement of characters: the 1.25 pitch and the 0.25 drift each
// drawn character leaves in the matrix.

#include <gtest/gtest.h>

#include <vector>

#include "assets/font_bitmap.h"
#include "recording_gl.h"
#include "scenes/font.h"

namespace quarbtro {
namespace {

using recording::gl;
using Bytes = std::vector<unsigned char>;

TEST(ExpandGlyph, MostSignificantBitIsTheLeftmostPixelTopRowFirst) {
    const unsigned char rows[] = {0x80, 0x01, 0xff, 0x00, 0xa5, 0x00, 0x00, 0x3c};
    const Bytes image = expandGlyph(rows, 8, 8);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 8), (Bytes{255, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(image.begin() + 8, image.begin() + 16), (Bytes{0, 0, 0, 0, 0, 0, 0, 255}));
    EXPECT_EQ(Bytes(image.begin() + 16, image.begin() + 24), Bytes(8, 255));
    EXPECT_EQ(Bytes(image.begin() + 32, image.begin() + 40),
              (Bytes{255, 0, 255, 0, 0, 255, 0, 255}));
    EXPECT_EQ(Bytes(image.begin() + 56, image.end()), (Bytes{0, 0, 255, 255, 255, 255, 0, 0}));
}

TEST(ExpandGlyph, NarrowGlyphsUseTheLowBits) {
    const unsigned char rows[] = {0x05, 0x02};  // 3 pixels wide: #.# and .#.
    EXPECT_EQ(expandGlyph(rows, 3, 2), (Bytes{255, 0, 255, 0, 255, 0}));
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        recording::reset();
        font = new Font(fontBitmap, 8, 8);
    }
    void TearDown() override { delete font; }
    // The left edge of each drawn glyph square.
    static std::vector<float> leftEdges() {
        std::vector<float> edges;
        for (const recording::Polygon& p : gl.polygons) edges.push_back(p.corners[0].x);
        return edges;
    }
    Font* font = nullptr;
};

TEST_F(TextTest, FontUploadsEveryGlyphAsLuminanceUnderItsCode) {
    ASSERT_EQ(gl.uploads.size(), 127u);
    const recording::Upload& a = gl.uploads[65 - 1];
    EXPECT_EQ(a.texture, font->glyphs[65]);
    EXPECT_EQ(a.format, static_cast<GLenum>(GL_LUMINANCE));
    EXPECT_EQ(a.bytes, expandGlyph(fontBitmap + 64 * 8, 8, 8));
    EXPECT_NE(font->glyphs[1], font->glyphs[127]);
}

TEST_F(TextTest, CharactersStand125ApartFromXPlus125AndLeaveTheirDrift) {
    TextLine line(font, "AB");
    line.x = 10;
    line.y = 3;
    line.z = -2;
    line.draw();
    ASSERT_EQ(gl.polygons.size(), 2u);
    EXPECT_EQ(leftEdges(), (std::vector<float>{11.25f, 12.5f}));
    EXPECT_EQ(gl.polygons[0].texture, font->glyphs['A']);
    EXPECT_EQ(gl.polygons[1].texture, font->glyphs['B']);
    // A unit square with the glyph upright: its top edge (y + 1) samples texture row 0.
    const recording::Corner& bottomLeft = gl.polygons[0].corners[0];
    const recording::Corner& topLeft = gl.polygons[0].corners[3];
    EXPECT_EQ(bottomLeft.y, 3.0f);
    EXPECT_EQ(bottomLeft.z, -2.0f);
    EXPECT_EQ(bottomLeft.t, 1.0f);
    EXPECT_EQ(topLeft.y, 4.0f);
    EXPECT_EQ(topLeft.t, 0.0f);
    EXPECT_EQ(gl.translation[0], 0.5f) << "0.25 per character stays in the matrix";
    EXPECT_EQ(gl.translation[1], 0.0f);
    EXPECT_EQ(gl.translation[2], 0.0f);
}

TEST_F(TextTest, ASpaceDrawsNothingButAdvances) {
    TextLine line(font, "A B");
    line.draw();
    EXPECT_EQ(leftEdges(), (std::vector<float>{1.25f, 3.75f}));
    EXPECT_EQ(gl.translation[0], 0.75f);
}

TEST_F(TextTest, AnEmptyTextDrawsNothingAndLeavesNoDrift) {
    TextLine line(font, "");
    line.draw();
    EXPECT_TRUE(gl.polygons.empty());
    EXPECT_EQ(gl.translation[0], 0.0f);
}

TEST_F(TextTest, ASecondLineInTheSameScopeShiftsByAQuarterPerCharacterOfTheFirst) {
    TextLine first(font, "hadet.");  // 6 characters
    TextLine second(font, "OV");
    first.x = second.x = -4;
    first.draw();
    second.draw();
    ASSERT_EQ(gl.polygons.size(), 8u);
    EXPECT_EQ(gl.polygons[6].corners[0].x, -4 + 1.25f + 6 * 0.25f);
    EXPECT_EQ(gl.polygons[7].corners[0].x, -4 + 2.5f + 6 * 0.25f);
}

TEST_F(TextTest, TheLineKeepsItsOwnCopyOfTheText) {
    char source[] = "ab";
    TextLine line(font, source);
    source[0] = 'z';
    line.drawChar(0);
    EXPECT_EQ(gl.polygons.at(0).texture, font->glyphs['a']);
}

}  // namespace
}  // namespace quarbtro
