#include "tools/xm/module_names.h"

#include <cstdio>
#include <cstring>

namespace quarbtro {

namespace {

// Code page 437 (the PC's own, which FastTracker 2 wrote in under DOS): bytes 0x80..0xFF.
constexpr char16_t codePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252: bytes 0x80..0x9F (0xA0..0xFF are Latin-1's own); the five it leaves undefined
// stand for the control characters of the same number, as browsers read them.
constexpr char16_t windows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t codePoint(unsigned char byte, NameEncoding encoding) {
    if (byte < 0x80) return byte;
    if (encoding == NameEncoding::codePage437) return codePage437[byte - 0x80];
    return byte < 0xA0 ? windows1252[byte - 0x80] : byte;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | c >> 6);
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string jsonEscape(char32_t c) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
    return escape;
}

// The name's bytes up to the first 0 as UTF-8, without trailing spaces; a control character
// goes through `control`, a quote or backslash through `quoted`.
template <typename Control, typename Quoted>
std::string nameText(const char* name, NameEncoding encoding, Control control, Quoted quoted) {
    std::string text;
    for (const char* c = name; *c != '\0'; ++c) {
        const char32_t point = codePoint(static_cast<unsigned char>(*c), encoding);
        if (isControl(point)) text += control(point);
        else if (point == '"' || point == '\\') text += quoted(point);
        else appendUtf8(text, point);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

NameEncoding nameEncodingOf(const char* trackerName) {
    return std::strncmp(trackerName, "FastTracker", 11) == 0 ? NameEncoding::codePage437 : NameEncoding::windows1252;
}

std::string nameForPeople(const char* name, NameEncoding encoding) {
    return nameText(
        name, encoding, [](char32_t) { return std::string("?"); },
        [](char32_t c) { return std::string(1, static_cast<char>(c)); });
}

std::string nameAsJson(const char* name, NameEncoding encoding) {
    return "\"" +
           nameText(name, encoding, jsonEscape,
                    [](char32_t c) { return std::string("\\") + static_cast<char>(c); }) +
           "\"";
}

std::string textAsJson(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) json += jsonEscape(byte);
        else if (c == '"' || c == '\\') json += std::string("\\") + c;
        else json += c;
    }
    return json + "\"";
}

std::string bytesAsJson(const char* field, std::size_t size) {
    while (size > 0 && field[size - 1] == '\0') --size;
    std::string text = "\"";
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte < 0x20 || byte >= 0x7F) text += jsonEscape(byte);
        else if (byte == '"' || byte == '\\') text += std::string("\\") + static_cast<char>(byte);
        else text += static_cast<char>(byte);
    }
    return text + "\"";
}

}  // namespace quarbtro
