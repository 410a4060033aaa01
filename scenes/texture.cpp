#include "texture.h"

#include <GL/glu.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include <jpeglib.h>

namespace quarbtro {

namespace {

// A data source over an array in memory: the whole image is there from the start.
struct JpegMemorySource {
    jpeg_source_mgr manager;  // first, so the library's pointer is also ours
    const JOCTET* data;
};

void initSource(j_decompress_ptr) {}

// Nothing exists beyond the array. Returning FALSE suspends the decoder; a stream that ends
// early is then reported by jpeg_finish_decompress (too little data), a fatal error.
boolean fillInputBuffer(j_decompress_ptr) { return FALSE; }

// How the library passes over segments it does not keep (the comment, the rest of APP0).
void skipInputData(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* source = cinfo->src;
    if (count <= 0) return;
    const size_t skipped = static_cast<size_t>(count) < source->bytes_in_buffer
                               ? static_cast<size_t>(count)
                               : source->bytes_in_buffer;
    source->next_input_byte += skipped;
    source->bytes_in_buffer -= skipped;
}

void termSource(j_decompress_ptr) {}

void installMemorySource(j_decompress_ptr cinfo, const void* data, int size) {
    auto* source = static_cast<JpegMemorySource*>(cinfo->mem->alloc_small(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, sizeof(JpegMemorySource)));
    source->data = static_cast<const JOCTET*>(data);
    source->manager.next_input_byte = source->data;
    source->manager.bytes_in_buffer = size > 0 ? static_cast<size_t>(size) : 0;
    source->manager.init_source = initSource;
    source->manager.fill_input_buffer = fillInputBuffer;
    source->manager.skip_input_data = skipInputData;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = termSource;
    cinfo->src = &source->manager;
}

}  // namespace

Image* decodeJpeg(const void* data, int size) {
    auto* image = static_cast<Image*>(std::malloc(sizeof(Image)));
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    installMemorySource(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    // Textures are uploaded as 3 bytes a pixel: a greyscale image must widen to RGB too,
    // rather than leave the upload reading past its pixels. (For colour images this is the
    // library's default anyway.)
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const size_t rowBytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    image->pixels = static_cast<unsigned char*>(std::malloc(rowBytes * cinfo.output_height));
    image->height = static_cast<uint16_t>(cinfo.output_height);
    image->width = static_cast<uint16_t>(cinfo.output_width);
    // One call a row, a fixed number of calls: a stream cut short cannot make this loop spin.
    for (JDIMENSION y = 0; y < cinfo.output_height; ++y) {
        JSAMPROW row = image->pixels + y * rowBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

void freeImage(Image* image) {
    if (!image) return;
    std::free(image->pixels);
    std::free(image);
}

Texture::Texture(const void* data, int size, bool repeat)
    : image(decodeJpeg(data, size)), repeat(repeat), name(0) {
    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image->width, image->height, GL_RGB,
                      GL_UNSIGNED_BYTE, image->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glDisable(GL_TEXTURE_2D);
}

Texture::~Texture() { freeImage(image); }

void beginSphereMap(const Texture& texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    for (GLenum coordinate : {GL_S, GL_T, GL_R, GL_Q})
        glTexGenf(coordinate, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
}

void endSphereMap() {
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace quarbtro
