#include "radial_blur.h"

#include <vector>

#include "app/display_window.h"
#include "stage.h"

namespace quarbtro {

namespace {
constexpr int side = 64;  // the small image, in pixels
}

RadialBlur::RadialBlur() : name(0), step(0.034f), passes(5) {
    const std::vector<unsigned char> image(side * side * 4, 0);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void RadialBlur::begin() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glViewport(0, 0, side, side);
}

void RadialBlur::capture() {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, side, side, 0);
    window->clear();
    glViewport(0, 0, 660, 480);
    glDisable(GL_TEXTURE_2D);
}

void RadialBlur::overlay() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);  // y grows downwards
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    float inset = 0, alpha = 0.2f;
    const float fade = 0.2f / passes;
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, name);
    glBegin(GL_QUADS);
    for (int copy = 0; copy < passes; ++copy) {
        // The copied image has its bottom row at t = 0, so this shows it upright.
        glColor4f(1, 1, 1, alpha);
        glTexCoord2f(inset, 1 - inset);
        glVertex2f(0, 0);
        glTexCoord2f(inset, inset);
        glVertex2f(0, 480);
        glTexCoord2f(1 - inset, inset);
        glVertex2f(640, 480);
        glTexCoord2f(1 - inset, 1 - inset);
        glVertex2f(640, 0);
        inset += step;
        alpha -= fade;
    }
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace quarbtro
