#pragma once
// The names an XM file holds (the title, the tracker, instruments, samples) as text. A file has
// no say in its character set: FastTracker 2 ran on DOS, so the files it made (its name in the
// tracker field) are read in code page 437, with its accents and box-drawing characters, and
// every other file in Windows-1252, where the trackers of the last decades ran. Either way the
// text is UTF-8: the bytes up to the first 0, without trailing spaces.

#include <cstddef>
#include <string>

namespace quarbtro {

enum class NameEncoding { codePage437, windows1252 };

// The character set of a file that names this tracker.
NameEncoding nameEncodingOf(const char* trackerName);

// For people: a control character shows as "?".
std::string nameForPeople(const char* name, NameEncoding encoding);
// As a JSON string, quotes included: control characters, quotes and backslashes escaped.
std::string nameAsJson(const char* name, NameEncoding encoding);
// UTF-8 text (a file's name) as a JSON string, quotes included: control characters, quotes
// and backslashes escaped.
std::string textAsJson(const std::string& text);
// A field's bytes themselves, all `size` of them but trailing zeros, as a JSON string in which
// code point n stands for byte n (printable ASCII as it is, the rest escaped): nothing is lost
// to a character set.
std::string bytesAsJson(const char* field, std::size_t size);

}  // namespace quarbtro
