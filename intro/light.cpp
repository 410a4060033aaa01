#include "light.h"

#include <GL/gl.h>

namespace quarbtro {

Light::Light(float x, float y, float z)
    : position{x, y, z, 1.0f}, enabled(true), ambient{0, 0, 0, 1}, diffuse{1, 1, 1, 1} {}

void Light::apply() const {
    if (!enabled) {
        glDisable(GL_LIGHT1);
        return;
    }
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glEnable(GL_LIGHT1);
}

}  // namespace quarbtro
