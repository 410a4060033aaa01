#pragma once
// What the shell passes every scene in every call (draw, enter, leave): the frame's clock,
// which pass is drawing, the picture's settings that scenes change and that carry from one
// scene to the next (the clear colour and the glow), and the show's way out. The shell keeps
// one for the whole show; the scenes read it and write only the fields said below. Everything
// here is touched on the main thread only.

namespace quarbtro {

// The glow's settings, which the radial blur draws with (radial_blur.h).
struct BlurSettings {
    float step = 0.034f;  // texture-coordinate inset added from one copy to the next
    int passes = 5;       // copies laid over the picture
};

struct Stage {
    // Demo time in centiseconds of audio heard, sampled once per frame by the shell: every
    // scene's only clock.
    int clock = 0;
    // True only while the scenes are drawn into the glow's small image (set by the shell).
    bool blurPass = false;
    // True while each frame runs the glow pass and lays the glow over the picture. On from the
    // start; the tunnel switches it off, the credits on again.
    bool blurEnabled = true;
    // Set by the scroller's enter.
    BlurSettings blur;
    // r, g, b, a: what each frame is cleared to, from its next clear on. Black from the start;
    // scenes set it with setClearColor.
    float clearColor[4] = {0, 0, 0, 1};
    // The show's one way out, which the farewell takes: the shell's quit path; tests and the
    // capture put their own.
    void (*quit)() = nullptr;

    void setClearColor(float r, float g, float b) {
        clearColor[0] = r;
        clearColor[1] = g;
        clearColor[2] = b;
        clearColor[3] = 1.0f;
    }
};

}  // namespace quarbtro
