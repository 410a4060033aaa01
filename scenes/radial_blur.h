#pragma once
// The glow of the intro and the credits. When the blur is enabled, each frame first draws the
// scenes into a 64 x 64 corner of the back buffer (begin ... capture) and copies it into a
// texture, and the frame is cleared again; after the main pass, overlay() adds several copies
// of the small image over the whole frame, each zoomed a little further into the centre and
// fainter. How far and how many (BlurSettings) are the stage's, which scenes change.

#include <GL/gl.h>

#include "scenes/stage.h"

namespace quarbtro {

class RadialBlur {
public:
    // A 64 x 64 RGBA texture, all zero, linear filtering.
    RadialBlur();

    // Before the blur pass: black clear, identity modelview, the 64 x 64 viewport. The window's
    // size in pixels bounds the corners the pass draws into and copies from: in a window
    // smaller than 330 x 240 (or 64 x 64) they shrink to fit it, since what lies beyond the
    // window's pixels is undefined to read.
    void begin(int windowWidth, int windowHeight);
    // After the blur pass: copies the corner and adds up its copies. The back buffer still
    // holds the blur pass: the frame is to be cleared before the main pass, which then takes
    // its viewport from the window (DisplayWindow::usePictureViewport).
    void capture(const BlurSettings& settings);
    // After the main pass, over its viewport: `passes` copies, additive, the first whole at
    // alpha 0.2, each next one inset by `step` and 0.2 / passes fainter. Leaves depth testing
    // and lighting on, blending and texturing off and texture 0 bound.
    void overlay(const BlurSettings& settings);

    GLuint name;  // the captured image
    GLuint sumName;  // the copies added up, at a quarter of the glow's area

private:
    void sumCopies(const BlurSettings& settings);

    int side_;                     // the small image's side this frame: 64, or the window's
    int sumWidth_, sumHeight_;     // the sum's part of sumName drawn this frame: 330 x 240, or
                                   // the window's size
};

}  // namespace quarbtro
