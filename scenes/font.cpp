#include "font.h"

#include <GL/glu.h>

#include <cstring>

namespace quarbtro {

std::vector<unsigned char> expandGlyph(const unsigned char* rows, int width, int height) {
    std::vector<unsigned char> image(static_cast<size_t>(width) * height, 0);
    size_t at = 0;
    for (int r = 0; r < height; ++r)
        for (unsigned mask = 1u << (width - 1); mask != 0; mask >>= 1)
            image[at++] = (rows[r] & mask) ? 255 : 0;
    return image;
}

Font::Font(const unsigned char* bitmap, int width, int height) : glyphs(new GLuint[256]()) {
    glGenTextures(255, glyphs);
    for (int code = 1; code <= 127; ++code) {
        const std::vector<unsigned char> image =
            expandGlyph(bitmap + (code - 1) * height, width, height);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, glyphs[code]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                          image.data());
        glDisable(GL_TEXTURE_2D);
    }
}

Font::~Font() { delete[] glyphs; }

TextLine::TextLine(Font* font, const char* source)
    : font(font), x(0), y(0), z(0), text(new char[std::strlen(source) + 2]) {
    std::strcpy(text, source);
}

TextLine::~TextLine() { delete[] text; }

int TextLine::length() const { return static_cast<int>(std::strlen(text)); }

void TextLine::drawChar(int i) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    glBlendFunc(GL_ONE, GL_ONE);
    glTranslatef(x, y, z);
    // Unsigned: a byte above 127 picks a name without a glyph rather than reading before the
    // table.
    const unsigned char code = static_cast<unsigned char>(text[i]);
    glBindTexture(GL_TEXTURE_2D, font->glyphs[code]);
    glTranslatef(i + 0.25f, 0, 0);
    if (code != ' ') {
        glBegin(GL_POLYGON);
        glTexCoord2f(0, 1);
        glVertex2f(1, 0);
        glTexCoord2f(1, 1);
        glVertex2f(2, 0);
        glTexCoord2f(1, 0);
        glVertex2f(2, 1);
        glTexCoord2f(0, 0);
        glVertex2f(1, 1);
        glEnd();
    }
    glTranslatef(-i, 0, 0);
    glTranslatef(-x, -y, -z);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}

void TextLine::draw() {
    const int n = length();
    for (int i = 0; i < n; ++i) drawChar(i);
}

}  // namespace quarbtro
