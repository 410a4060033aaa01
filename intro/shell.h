#pragma once
// The application shell: start-up, the per-frame callback, the keyboard and the quit path.
// Everything here runs on the main thread, inside GLUT's callbacks.

#include <functional>
#include <string>
#include <vector>

#include "intro/frame_pacer.h"
#include "intro/playback_clock.h"
#include "scenes/stage.h"
#include "window/display_window.h"

namespace quarbtro {

class Font;
class Light;
class RadialBlur;
class Texture;
class TimeLine;

// The intro's process-wide state: the show that the start-up's steps build, every frame draws
// and tearDown lets go. All of it is written and read on the main thread only (GLUT runs its
// callbacks there); tests and tools that replace the clock or the way out do so after init,
// before the first frame.
struct Show {
    DisplayWindow* window = nullptr;   // init makes it; null once torn down
    Font* font = nullptr;              // the "font" step's; the scenes' text, for the whole run
    Texture* sphereMapTexture = nullptr;  // the "sphere-map-texture" step's, for the whole run
    TimeLine* timeLine = nullptr;      // the scene steps', in the time line's order; null once
                                       // torn down
    RadialBlur* blur = nullptr;        // the glow's images ("blur-and-light")
    Light* light = nullptr;            // ("blur-and-light")
    // What every scene is passed: the clock each frame sets, the pass, the clear colour and the
    // glow that scenes change, and the way out (init sets the shell's quit; tests and tools put
    // their own).
    Stage stage;
    // Where each frame samples the demo clock (centiseconds): the audio heard (PlaybackClock,
    // which also keeps the clock log). Tests and tools may replace it.
    int (*clockSource)() = PlaybackClock;
    // Frames no sooner than the display shows them where the driver does not pace the swaps;
    // set by init and limitFrameRate.
    FramePacer pacer{0};
};
extern Show show;

// One step of the intro's start-up. A step the intro cannot go on without (no X display, no
// sound device) says why on standard error and ends the process with status 1.
struct StartupStep {
    std::string name;  // "window", "font", "scene-tunnel", …
    std::function<void()> run;
};

// The intro's start-up, in its order: the signal thread that puts the video mode back and the
// display check, the window (init), the visual steps, and last the music, so that it starts
// once everything it accompanies is ready. main runs them; the start-up bench runs the same,
// timing each. argc and argv are GLUT's, who takes its own options from them.
std::vector<StartupStep> startupSteps(int* argc, char** argv,
                                      DisplayWindow::Presentation presentation);
// The visual part of the start-up: the font, the sphere-map texture, each scene of the time
// line in its order, the blur and the light.
std::vector<StartupStep> visualSteps();

// glutInit, the window (filling the screen, unless told to stay a window), the callbacks, the
// GL state and the frame limit.
void init(int* argc, char** argv,
          DisplayWindow::Presentation presentation = DisplayWindow::Presentation::fullScreen);
// Runs the visual steps: tests and tools that supply their own clock call it after init.
void buildVisuals();
// One frame: drawFrame, then the buffer swap. Where the driver does not pace the swaps, frames
// start no more often than the display's refresh.
void frame();
// On (init's choice): frames no faster than the display shows them, where the driver does not
// pace the swaps itself. Off lifts the limit, to measure raw speed.
void limitFrameRate(bool limit);
// The frame up to the swap: sample the clock, clear, light, the blur pass when enabled, the
// main pass (its viewport from the window's size at this frame), the glow. The finished
// picture is in the back buffer, where a reader can take it with glReadPixels before swapping.
void drawFrame();
void reshapeCallback(int w, int h);
// Escape quits; t or T prints "tid: " and the clock of the last frame.
void keyboard(unsigned char key, int x, int y);
// The one way out: tearDown, then exit(0).
[[noreturn]] void quit();
// Destroys the window (restoring the video mode) and frees the scenes.
void tearDown();

// The X display named by GLUT's -display option, or null for $DISPLAY.
const char* displayNameFromArguments(int argc, char** argv);

}  // namespace quarbtro
