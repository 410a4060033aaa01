#include "recording_gl.h"

#include <GL/glu.h>

namespace quarbtro::recording {

State gl;

void reset() { gl = State{}; }

}  // namespace quarbtro::recording

using quarbtro::recording::gl;

extern "C" {

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    gl.translation[0] += x;
    gl.translation[1] += y;
    gl.translation[2] += z;
}

void glBindTexture(GLenum, GLuint texture) { gl.bound = texture; }

void glGenTextures(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = gl.nextName++;
}

void glBegin(GLenum) {
    gl.inPolygon = true;
    gl.polygons.push_back({gl.bound, {}});
}

void glEnd() { gl.inPolygon = false; }

void glTexCoord2f(GLfloat s, GLfloat t) {
    gl.texCoord[0] = s;
    gl.texCoord[1] = t;
}

void glVertex2f(GLfloat x, GLfloat y) {
    gl.polygons.back().corners.push_back({x + gl.translation[0], y + gl.translation[1],
                                          gl.translation[2], gl.texCoord[0], gl.texCoord[1]});
}

GLint gluBuild2DMipmaps(GLenum, GLint, GLsizei width, GLsizei height, GLenum format, GLenum,
                        const void* data) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    gl.uploads.push_back({gl.bound, width, height, format,
                          std::vector<unsigned char>(bytes, bytes + width * height)});
    return 0;
}

void glEnable(GLenum) {}
void glDisable(GLenum) {}
void glColor4f(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glBlendFunc(GLenum, GLenum) {}
void glTexParameteri(GLenum, GLenum, GLint) {}

}  // extern "C"
