#pragma once
// Where the picture goes in a window of any size. The intro draws as designed for its window of
// windowWidth x windowHeight; in a window of any other size (maximised, tiled, fullscreen) the
// picture (window_geometry.h) is scaled to the largest size with its 4:3 shape, centred, with
// black beside it. Plain arithmetic, testable without GL.

namespace quarbtro {

// A rectangle of window pixels, as GL counts them: x from the left edge, y up from the bottom.
struct PixelRect {
    int x, y, width, height;
    bool operator==(const PixelRect&) const = default;
};

struct PictureLayout {
    // False in a window of the design size, drawn exactly as designed: nothing is scaled or cut.
    bool scaled;
    // The picture in the window; when scaled, what lies outside it is black.
    PixelRect picture;
    // A viewport given in the design window's pixels, placed where the scaled picture puts it
    // (unchanged when not scaled). Its edges are rounded each on its own, so viewports that
    // share an edge in the design still share it.
    PixelRect map(PixelRect design) const;
};

// For a window of width x height pixels (each at least 1).
PictureLayout pictureLayout(int width, int height);

}  // namespace quarbtro
