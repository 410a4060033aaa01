// Compiles the editable font source into the glyph rows the intro embeds:
//   font-compiler font.txt font_bitmap.cpp
// The source holds, for every character code 1 to 127, a line "code N" followed by eight rows
// of eight cells ('#' lit, '.' dark), top row first. Outside a glyph, blank lines and lines
// starting with '#' are comments. The output defines quarbtro::fontBitmap: 127 glyphs of 8
// bytes, glyph c at byte (c - 1) * 8, each row a byte with the leftmost pixel in the most
// significant bit. Any mistake in the source (a missing or repeated code, a short or stray row,
// a cell that is neither '#' nor '.') stops the build with the line it was found on.

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

constexpr int firstCode = 1, lastCode = 127, rowsPerGlyph = 8;

struct Glyphs {
    std::array<std::array<unsigned char, rowsPerGlyph>, lastCode + 1> rows{};
    std::array<bool, lastCode + 1> defined{};
};

bool fail(const std::string& path, int line, const std::string& what) {
    std::cerr << path << ":" << line << ": " << what << "\n";
    return false;
}

bool parseRow(const std::string& text, unsigned char& row) {
    if (text.size() != 8) return false;
    row = 0;
    for (char cell : text) {
        if (cell != '#' && cell != '.') return false;
        row = static_cast<unsigned char>(row << 1 | (cell == '#'));
    }
    return true;
}

bool parse(const std::string& path, std::istream& in, Glyphs& glyphs) {
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text[0] == '#') continue;
        std::istringstream header(text);
        std::string keyword;
        int code = 0;
        if (!(header >> keyword >> code) || keyword != "code")
            return fail(path, line, "expected \"code N\"");
        if (code < firstCode || code > lastCode)
            return fail(path, line, "code " + std::to_string(code) + " is outside 1 to 127");
        if (glyphs.defined[code])
            return fail(path, line, "code " + std::to_string(code) + " is defined twice");
        glyphs.defined[code] = true;
        for (int r = 0; r < rowsPerGlyph; ++r) {
            if (!std::getline(in, text)) return fail(path, line, "glyph ends early");
            ++line;
            if (!parseRow(text, glyphs.rows[code][r]))
                return fail(path, line, "a row is eight cells of '#' or '.'");
        }
    }
    for (int code = firstCode; code <= lastCode; ++code)
        if (!glyphs.defined[code])
            return fail(path, line, "code " + std::to_string(code) + " is missing");
    return true;
}

void write(std::ostream& out, const Glyphs& glyphs) {
    out << "// Generated from assets/font.txt by font-compiler; do not edit.\n"
           "#include \"assets/font_bitmap.h\"\n\n"
           "namespace quarbtro {\n\n"
           "const unsigned char fontBitmap[fontGlyphCount * fontGlyphBytes] = {\n";
    for (int code = firstCode; code <= lastCode; ++code) {
        out << "   ";
        for (unsigned char row : glyphs.rows[code]) {
            char hex[8];
            std::snprintf(hex, sizeof hex, " 0x%02x,", row);
            out << hex;
        }
        out << "  // " << code << "\n";
    }
    out << "};\n\n}  // namespace quarbtro\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " FONT.txt OUTPUT.cpp\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    Glyphs glyphs;
    if (!parse(argv[1], in, glyphs)) return 1;
    std::ofstream out(argv[2]);
    write(out, glyphs);
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
