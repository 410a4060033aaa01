#pragma once
// The application shell: start-up, the per-frame callback, the keyboard and the quit path.
// Everything here runs on the main thread, inside GLUT's callbacks.

#include "window/display_window.h"

namespace quarbtro {

class Light;

extern Light* light;

// Where each frame samples the demo clock (centiseconds): the audio heard (audioClock, which
// also keeps the clock log). Tests and tools may replace it.
extern int (*clockSource)();

// glutInit, the window (filling the screen, unless told to stay a window), the callbacks, the
// GL state and the frame limit.
void init(int* argc, char** argv,
          DisplayWindow::Presentation presentation = DisplayWindow::Presentation::fullScreen);
// Every visual resource and the four scenes, then the player: the music starts.
void buildScenes();
// The visual part of buildScenes: the font, the sphere-map texture, the scenes, the blur and
// the light. Tests and tools that supply their own clock call it instead of buildScenes.
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
