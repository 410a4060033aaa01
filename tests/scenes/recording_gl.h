#pragma once
// A stand-in for the few GL calls the text code makes, for tests without a display: the unit
// test program defines these GL entry points itself, so the scenes library's calls land here.
// It follows the modelview translation and records each polygon's corners where they land,
// with the texture bound while it was drawn.

#include <GL/gl.h>

#include <vector>

namespace quarbtro::recording {

struct Corner {
    float x, y, z;  // after the current translation
    float s, t;     // texture coordinate
};

struct Polygon {
    GLuint texture;
    std::vector<Corner> corners;
};

struct Upload {
    GLuint texture;
    int width, height;
    GLenum format;
    std::vector<unsigned char> bytes;
};

struct State {
    float translation[3] = {0, 0, 0};
    GLuint bound = 0;
    GLuint nextName = 1;
    float texCoord[2] = {0, 0};
    bool inPolygon = false;
    std::vector<Polygon> polygons;
    std::vector<Upload> uploads;
};

// Cleared by reset().
extern State gl;
void reset();

}  // namespace quarbtro::recording
