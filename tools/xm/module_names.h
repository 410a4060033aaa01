#pragma once
// The names an XM file holds (the title, the tracker, instruments, samples) as text: the bytes
// up to the first 0, read as Latin-1 and given as UTF-8, without trailing spaces.

#include <string>

namespace quarbtro {

// For people: a control character shows as "?".
std::string nameForPeople(const char* name);
// As a JSON string, quotes included: control characters, quotes and backslashes escaped.
std::string nameAsJson(const char* name);

}  // namespace quarbtro
