#pragma once
// The program-wide visual state. The application shell creates and writes it at start-up;
// the scenes read it (and a few of them switch the blur or the clear colour). Everything here
// is touched on the main thread only.

namespace quarbtro {

class DisplayWindow;
class Font;
class RadialBlur;
class Texture;
class scene;

// Demo time in centiseconds of audio heard, sampled once per frame: every scene's only clock.
extern int clock;
extern DisplayWindow* window;
// The scene table, in drawing order: tunnel, intro, end, credits.
extern scene* scenes[4];
// The glyph textures every TextLine draws from.
extern Font* font;
// The second image, sphere-mapped onto the tunnel's ball.
extern Texture* sphereMapTexture;
// The glow: the small image of the blur pass and its overlay.
extern RadialBlur* blur;
// True while each frame runs the blur pass and the glow overlay.
extern bool blurEnabled;
// True only while the scenes are drawn into the small blur image.
extern bool blurPass;
// The program's one way out; the end scene takes it. The shell installs its quit path here,
// tests and the capture tool install their own.
extern void (*quitHandler)();

}  // namespace quarbtro
