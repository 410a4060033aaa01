#include "tunnel.h"

#include <GL/glut.h>

#include <cmath>

#include "assets/image1Jpeg.h"
#include "stage.h"
#include "texture.h"
#include "time_line.h"
#include "tube.h"

namespace quarbtro {

float swayDegrees(int t, float divisor, float amplitude) {
    // The quotient is single precision; its sine is taken in double and only the result is
    // rounded back (the float overload is a unit in the last place off at some clocks).
    const float quotient = static_cast<float>(t) / divisor;
    const float sine = static_cast<float>(std::sin(static_cast<double>(quotient)));
    return sine * amplitude;
}

ruzidovavire::ruzidovavire(int start, int end, const SceneResources& resources)
    : scene(start, end), wall(new Texture(image1Jpeg, image1JpegSize, true)),
      sphereMap(resources.sphereMap), elapsed(0) {}

ruzidovavire::~ruzidovavire() { delete wall; }

void ruzidovavire::enter(Stage& stage) {
    stage.setClearColor(0.3f, 0.1f, 0.0f);
    stage.blurEnabled = false;
}

void ruzidovavire::leave(Stage& stage) { stage.setClearColor(0, 0, 0); }

void ruzidovavire::draw(Stage& stage) {
    if (inactive(stage)) return;
    const int t = stage.clock;
    elapsed = t - start;

    glRotatef(swayDegrees(t, 20, 50), 0, 0, 1);
    glTranslatef(0, 0.4f, 0);
    glRotatef(-swayDegrees(t, 20, 50), 0, 0, 1);
    glRotatef(swayDegrees(t, 10, 9), 1, 0, 0);
    glRotatef(swayDegrees(t, 13, 7), 0, 1, 0);

    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, wall->name);
    glColor3f(1, 1, 1);
    glTranslatef(0, 0, static_cast<float>(elapsed / 43));  // the viewer flies forwards

    glPushMatrix();
    glEnable(GL_COLOR_MATERIAL);
    glRotatef(static_cast<float>(elapsed), 0, 0, 1);  // the roll: a degree a centisecond
    drawRings();
    glPopMatrix();
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);

    glPushMatrix();  // the ball is not rolled with the tube
    drawBall();
    glPopMatrix();
}

// Twenty rings of radius 1 and length 2, from 0 to -40 along the axis, normals inwards.
void ruzidovavire::drawRings() {
    for (int ring = 0; ring < 20; ++ring) {
        glTranslatef(0, 0, -2);
        glBegin(GL_QUAD_STRIP);
        for (const RingStep& step : ringSteps()) {
            glNormal3f(-step.sine, -step.cosine, 0.2f);
            glTexCoord2f(step.s, 0);
            glVertex3f(step.sine, step.cosine, 0);
            glTexCoord2f(step.s, 1);
            glVertex3f(step.sine, step.cosine, 2);
        }
        glEnd();
    }
}

// Flattened and sphere-mapped, bouncing below the axis and slowly drawing away.
void ruzidovavire::drawBall() {
    beginSphereMap(sphereMap);
    glColor4f(0.3f, 0.1f, 0, 0.9f);
    glTranslatef(0, static_cast<float>(-std::fabs(std::sin(elapsed / 9))),
                 static_cast<float>(-elapsed / 40 - 4));
    glScalef(0.5f, 0.3f, 1.0f);
    glutSolidSphere(1.0, 10, 10);
    endSphereMap();
}

}  // namespace quarbtro
