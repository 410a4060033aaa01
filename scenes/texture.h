#pragma once
// Pictures from embedded JPEG images: decoded from memory into an Image, and uploaded as a
// mipmapped texture held by a Texture. Textures are made at start-up, once the GL context
// exists.

#include <GL/gl.h>

#include <cstdint>

namespace quarbtro {

// Decoded pixels: rows top first, each width x 3 bytes (RGB), one after another.
struct Image {
    unsigned char* pixels;  // owned, malloc'ed
    uint16_t height;        // rows
    uint16_t width;         // columns
};

// Decodes a JPEG image held in memory into a new Image (malloc'ed record and pixels; free both
// with freeImage). Any image the library can turn into RGB is accepted; a fatal decoding error
// ends the process through the library's own error handler (message on stderr, status 1).
Image* decodeJpeg(const void* data, int size);
void freeImage(Image* image);

class Texture {
public:
    // Decodes the image and uploads it with mipmaps; repeat: GL_REPEAT wrap, else
    // GL_CLAMP_TO_EDGE. Leaves GL_TEXTURE_2D disabled.
    Texture(const void* data, int size, bool repeat);
    // Frees the decoded picture; the GL texture name is kept (textures live for the whole run).
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    Image* image;  // owned; kept for the texture's whole life
    bool repeat;
    GLuint name;   // bind with glBindTexture(GL_TEXTURE_2D, name)
};

// Texturing with `texture` sphere-mapped (generated s and t), for the two balls; and back.
void beginSphereMap(const Texture& texture);
void endSphereMap();

}  // namespace quarbtro
