#include "height_field.h"

#include <GL/gl.h>

#include <cmath>

namespace quarbtro {

float heightField[heightFieldSize][heightFieldSize];

void computeHeightField() {
    for (int i = 0; i < heightFieldSize; ++i) {
        const float x = static_cast<float>(i - 25) / 4.7f;
        const int k = static_cast<int>(x);  // truncated: 0 for rows 21 to 29, the ridge
        for (int j = 0; j < heightFieldSize; ++j) {
            const float y = static_cast<float>(j - 25) / 4.7f;
            const float s = 0.5f * (0.5f * x) * (0.5f * x) + 0.5f * y * y;
            double h = s + 2 * std::cos(x);
            if (k == 0) h += 2 * std::cos(x);
            heightField[i][j] = static_cast<float>(-(h - static_cast<double>(0.1f)));
        }
    }
}

// Each cell is one polygon from (a, b) to (a + 0.2, b + 0.2). The cell's offset is added to
// its corners here rather than through a translation of the matrix before and after each
// cell: the same picture, but one matrix for the whole mesh, which keeps a software renderer
// from flushing 2,401 times a frame.
void drawHeightMesh() {
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glDisable(GL_LIGHTING);
    for (int i = 0; i < heightFieldSize - 1; ++i) {
        const float a = static_cast<float>(i - 25) / 5.0f;
        for (int j = 0; j < heightFieldSize - 1; ++j) {
            const float b = static_cast<float>(j - 25) / 5.0f;
            const float s0 = (a + 10) / 10, t0 = (b + 10) / 10;
            const float s1 = (a + 0.2f + 10) / 10, t1 = (b + 0.2f + 10) / 10;
            glBegin(GL_POLYGON);
            glTexCoord2f(s0, t0);
            glVertex3f(a, b, heightField[i][j]);
            glTexCoord2f(s1, t0);
            glVertex3f(a + 0.2f, b, heightField[i + 1][j]);
            glTexCoord2f(s1, t1);
            glVertex3f(a + 0.2f, b + 0.2f, heightField[i + 1][j + 1]);
            glTexCoord2f(s0, t1);
            glVertex3f(a, b + 0.2f, heightField[i][j + 1]);
            glEnd();
        }
    }
    glEnable(GL_LIGHTING);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace quarbtro
