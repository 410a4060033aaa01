#include "tools/xm/module_names.h"

#include <cstdio>

namespace quarbtro {

namespace {

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// An ASCII byte goes through `ascii`, which gives it as it is or what stands in its place.
template <typename Ascii>
std::string nameText(const char* name, Ascii ascii) {
    std::string text;
    for (const char* c = name; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x80) {
            text += ascii(byte);
        } else {
            text += static_cast<char>(0xC0 | byte >> 6);
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

std::string nameForPeople(const char* name) {
    return nameText(name, [](unsigned char byte) { return isControl(byte) ? std::string("?") : std::string(1, char(byte)); });
}

std::string nameAsJson(const char* name) {
    return "\"" + nameText(name, [](unsigned char byte) {
               char escape[8];
               if (isControl(byte))
                   std::snprintf(escape, sizeof escape, "\\u%04x", byte);
               else if (byte == '"' || byte == '\\')
                   std::snprintf(escape, sizeof escape, "\\%c", byte);
               else
                   return std::string(1, char(byte));
               return std::string(escape);
           }) + "\"";
}

}  // namespace quarbtro
