#include "radial_blur.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quarbtro {

namespace {

constexpr int side = 64;  // the small image, in pixels
// The copies are added up once per frame at this size, a quarter of the glow's 660 x 480 area,
// and the sum is laid over the frame in one pass: a software renderer pays for every full-frame
// textured, blended copy, and the copies are magnified at least ten times, so the sum is as
// smooth at this size as at full size.
constexpr int sumWidth = 330, sumHeight = 240;

GLuint emptyTexture(int width, int height, GLint components, GLenum format) {
    const std::vector<unsigned char> image(static_cast<std::size_t>(width) * height * 4, 0);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_BYTE,
                 image.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

// A quad over the glow's area, in the overlay's coordinates (640 x 480, y downwards), showing
// the texture window [left, right] x [bottom, top].
void glowQuad(float left, float bottom, float right, float top) {
    glTexCoord2f(left, top);
    glVertex2f(0, 0);
    glTexCoord2f(left, bottom);
    glVertex2f(0, 480);
    glTexCoord2f(right, bottom);
    glVertex2f(640, 480);
    glTexCoord2f(right, top);
    glVertex2f(640, 0);
}

void beginGlowCoordinates() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);  // y grows downwards
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void endGlowCoordinates() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace

RadialBlur::RadialBlur()
    : name(0), sumName(0), side_(side), sumWidth_(sumWidth), sumHeight_(sumHeight) {
    name = emptyTexture(side, side, 4, GL_RGBA);
    sumName = emptyTexture(sumWidth, sumHeight, GL_RGB, GL_RGB);
    // The sum covers exactly the glow's area: nothing lies beyond its edges.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void RadialBlur::begin(int windowWidth, int windowHeight) {
    side_ = std::min({side, windowWidth, windowHeight});
    sumWidth_ = std::min(sumWidth, windowWidth);
    sumHeight_ = std::min(sumHeight, windowHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glViewport(0, 0, side_, side_);
}

void RadialBlur::capture(const BlurSettings& settings) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, side_, side_, 0);
    sumCopies(settings);
    glDisable(GL_TEXTURE_2D);
}

// The copies drawn, additive, into a corner of the back buffer cleared black (the whole buffer:
// a renderer clears that fastest, and the frame is cleared again after capture() anyway), and
// the result taken into sumName. Leaves the GL state as it found it, the small image's texture
// bound.
void RadialBlur::sumCopies(const BlurSettings& settings) {
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, sumWidth_, sumHeight_);
    beginGlowCoordinates();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    float inset = 0, alpha = 0.2f;
    const float fade = 0.2f / settings.passes;
    glBegin(GL_QUADS);
    for (int copy = 0; copy < settings.passes; ++copy) {
        // The copied image has its bottom row at t = 0, so this shows it upright.
        glColor4f(1, 1, 1, alpha);
        glowQuad(inset, inset, 1 - inset, 1 - inset);
        inset += settings.step;
        alpha -= fade;
    }
    glEnd();
    endGlowCoordinates();
    glBindTexture(GL_TEXTURE_2D, sumName);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, sumWidth_, sumHeight_);
    glBindTexture(GL_TEXTURE_2D, name);
    glPopAttrib();
}

void RadialBlur::overlay(const BlurSettings& settings) {
    beginGlowCoordinates();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, sumName);
    // The copies' alphas are in the sum already; the colour left current is the last copy's.
    glColor4f(1, 1, 1, 0.2f - (settings.passes - 1) * (0.2f / settings.passes));
    glBegin(GL_QUADS);
    // The part of the sum this frame drew: the whole texture but in a window smaller than it.
    glowQuad(0, 0, static_cast<float>(sumWidth_) / sumWidth, static_cast<float>(sumHeight_) / sumHeight);
    glEnd();
    endGlowCoordinates();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace quarbtro
