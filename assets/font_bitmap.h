#pragma once
// The 8 x 8 bitmap font, compiled from assets/font.txt: glyphs for the character codes 1 to
// 127 in order, 8 bytes each (glyph c starts at byte (c - 1) * 8). A glyph is 8 rows, top row
// first; in each row the most significant bit is the leftmost pixel, a set bit a lit one.
// Codes 32 to 126 are ASCII; 1, 2, 7 and 18 are å, æ, ø, ø; the rest are small pictures.

namespace quarbtro {

inline constexpr int fontGlyphCount = 127;
inline constexpr int fontGlyphBytes = 8;
extern const unsigned char fontBitmap[fontGlyphCount * fontGlyphBytes];

}  // namespace quarbtro
