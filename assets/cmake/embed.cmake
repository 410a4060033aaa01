# Writes a C++ source and header that hold one file as a byte array (run by quarbtro_embed at
# build time):  cmake -DINPUT=file -DSYMBOL=name -DSOURCE=out.cpp -DHEADER=out.h -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes a line: "0x.., " for each pair of hex digits.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(header_name "${HEADER}" NAME)
file(WRITE "${SOURCE}.tmp"
"// Generated from ${INPUT}; do not edit.
#include \"assets/${header_name}\"

namespace quarbtro {

// One more byte than the file: a terminating zero, so that an empty file still gives an array.
const unsigned char ${SYMBOL}[${size} + 1] = {
    ${bytes}0};
const int ${SYMBOL}Size = ${size};

}  // namespace quarbtro
")
file(WRITE "${HEADER}.tmp"
"// Generated from ${INPUT}; do not edit.
#pragma once

namespace quarbtro {

// The bytes of ${INPUT}, compiled into the program.
extern const unsigned char ${SYMBOL}[];
extern const int ${SYMBOL}Size;

}  // namespace quarbtro
")
# Replaced only when changed, so that a regenerated but equal file rebuilds nothing.
file(COPY_FILE "${SOURCE}.tmp" "${SOURCE}" ONLY_IF_DIFFERENT)
file(COPY_FILE "${HEADER}.tmp" "${HEADER}" ONLY_IF_DIFFERENT)
file(REMOVE "${SOURCE}.tmp" "${HEADER}.tmp")
