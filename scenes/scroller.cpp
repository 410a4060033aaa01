#include "scroller.h"

#include <GL/glut.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/image1Jpeg.h"
#include "assets/image3Jpeg.h"
#include "assets/image4Jpeg.h"
#include "assets/texts.h"
#include "font.h"
#include "height_field.h"
#include "stage.h"
#include "texture.h"
#include "time_line.h"
#include "tube.h"

namespace quarbtro {

quarbintro::quarbintro(int start, int end, const SceneResources& resources)
    : scene(start, end),
      cylinderTexture(new Texture(image1Jpeg, image1JpegSize, true)),
      scroller(nullptr),
      sphereTexture(new Texture(image4Jpeg, image4JpegSize, true)),
      meshTexture(new Texture(image3Jpeg, image3JpegSize, true)),
      text(strdup(scrollerText)) {
    scroller = new TextLine(&resources.font, text);
}

quarbintro::~quarbintro() {
    delete cylinderTexture;
    delete scroller;
    delete sphereTexture;
    delete meshTexture;
    std::free(text);
}

void quarbintro::enter(Stage& stage) {
    stage.setClearColor(1.0f, 0.5f, 0.6f);
    stage.blur.step = 0.03f;
    stage.blur.passes = 5;
    computeHeightField();
}

void quarbintro::leave(Stage&) {}

void quarbintro::draw(Stage& stage) {
    if (inactive(stage)) return;
    const float e = static_cast<float>(stage.clock - start);
    if (e > 700 && e < 800) drawCylinder(e);
    if (e > 800 && e < 1000 && !stage.blurPass) drawBall(e);
    if (e > 1000 && e < 1300 && !stage.blurPass) drawSheet(e);
    drawScroller(stage.clock, e);
}

// A tube of radius 1 and length 3, halved, turning about the vertical axis by a degree a
// centisecond, normals outwards, unlit.
void quarbintro::drawCylinder(float e) {
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, cylinderTexture->name);
    glColor3f(1, 1, 1);
    glPushMatrix();
    glTranslatef(-1, 1, -5);
    glRotatef(e, 0, 1, 0);
    glScalef(0.5f, 0.5f, 0.5f);
    glBegin(GL_QUAD_STRIP);
    for (const RingStep& step : ringSteps()) {
        glNormal3f(step.sine, step.cosine, 0.2f);
        glTexCoord2f(step.s, 0);
        glVertex3f(step.sine, step.cosine, -1.5f);
        glTexCoord2f(step.s, 1);
        glVertex3f(step.sine, step.cosine, 1.5f);
    }
    glEnd();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}

// Lit and sphere-mapped, crossing in a straight line from (6, 5, -5) to (-4, -5, -5).
void quarbintro::drawBall(float e) {
    glPushMatrix();
    beginSphereMap(*sphereTexture);
    glColor4f(0.3f, 0.1f, 0, 0.9f);
    glTranslatef(0, 0, -5);
    const float c = 6 - (e - 800) / 20;
    glTranslatef(c, c - 1, 0);
    glRotatef(45, 0, 0, 1);
    glutSolidSphere(1.0, 20, 10);
    endSphereMap();
    glPopMatrix();
}

// The height-field sheet sliding from x = -6 to 14 (before scaling), 10 units deep.
void quarbintro::drawSheet(float e) {
    glPushMatrix();
    glTranslatef((e - 1000) / 15 - 6, 1, -5);
    glTranslatef(0, 1, -5);
    glScalef(0.4f, 0.4f, 0.2f);
    glRotatef(10, 1, 0, 0);
    glBindTexture(GL_TEXTURE_2D, meshTexture->name);
    drawHeightMesh();
    glPopMatrix();
}

// Each character keeps its place on a sine wave along the line; the wave is highest (2.64) at
// the start and end of the scene and lowest (0.24) in its middle.
void quarbintro::drawScroller(int clock, float e) {
    glPushMatrix();
    glScalef(0.3f, 0.3f, 1.0f);
    scroller->x = -static_cast<float>(clock - start) / 9;
    scroller->y = -2;
    scroller->z = -2;
    const double amplitude = (std::cos(2 * 3.14159265358979 * e / (end - start)) + 1.2) * 1.2;
    const int n = scroller->length();
    for (int i = 0; i < n; ++i) {
        scroller->y = static_cast<float>(std::sin(0.5 * i) / 3 * amplitude - 1);
        scroller->drawChar(i);
    }
    glPopMatrix();
}

}  // namespace quarbtro
