#pragma once
// The bitmap font as textures, and lines of text drawn from it.
//
// Each glyph becomes a tiny texture of its own. A TextLine draws one character at a time as a
// textured unit square added onto the picture (additive blending: the dark texels add nothing,
// the lit ones brighten what lies beneath).
//
// Placement: each drawChar(i) leaves +0.25 along x in the current modelview matrix (its
// translations cancel except for that). Characters drawn one after another in one matrix scope
// therefore sit 1.25 units apart, character i of a line at x + 1.25 (i + 1), and whatever is
// drawn after a line of n characters in the same scope is shifted right by 0.25 n.

#include <GL/gl.h>

#include <vector>

namespace quarbtro {

// One byte per pixel, row by row, top row first: 255 where the glyph row has the bit set
// (most significant bit leftmost), else 0.
std::vector<unsigned char> expandGlyph(const unsigned char* rows, int width, int height);

class Font {
public:
    // bitmap: glyphs for the codes 1 to 127, height bytes each (one byte a row).
    Font(const unsigned char* bitmap, int width, int height);
    // The texture names are kept (they live for the whole run).
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    GLuint* glyphs;  // owned, 256 names indexed by character code; 1 to 127 carry glyphs
};

class TextLine {
public:
    TextLine(Font* font, const char* text);
    ~TextLine();
    TextLine(const TextLine&) = delete;
    TextLine& operator=(const TextLine&) = delete;

    // Draws character i (a space draws nothing but still moves what follows).
    void drawChar(int i);
    // Every character in turn.
    void draw();
    int length() const;

    Font* font;  // not owned
    float x, y, z;
    char* text;  // owned copy
};

}  // namespace quarbtro
