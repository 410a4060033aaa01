#include "picture_layout.h"

#include <cmath>

#include "window_geometry.h"

namespace quarbtro {

namespace {

// The picture in the design window, as GL counts: its bottom row is the window's bottom row.
constexpr PixelRect designPicture{shownLeft, 0, shownWidth, shownHeight};

int nearest(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

PictureLayout pictureLayout(int width, int height) {
    if (width == windowWidth && height == windowHeight)
        return {false, {0, 0, windowWidth, windowHeight}};
    // The largest 4:3 rectangle that fits: the full height where the window is wider than 4:3,
    // the full width otherwise.
    int pictureWidth = width, pictureHeight = height;
    if (long{width} * shownHeight > long{height} * shownWidth)
        pictureWidth = nearest(static_cast<double>(height) * shownWidth / shownHeight);
    else
        pictureHeight = nearest(static_cast<double>(width) * shownHeight / shownWidth);
    if (pictureWidth < 1) pictureWidth = 1;
    if (pictureHeight < 1) pictureHeight = 1;
    return {true, {(width - pictureWidth) / 2, (height - pictureHeight) / 2, pictureWidth,
                   pictureHeight}};
}

PixelRect PictureLayout::map(PixelRect design) const {
    if (!scaled) return design;
    const double sx = static_cast<double>(picture.width) / designPicture.width;
    const double sy = static_cast<double>(picture.height) / designPicture.height;
    const int left = picture.x + nearest((design.x - designPicture.x) * sx);
    const int right = picture.x + nearest((design.x + design.width - designPicture.x) * sx);
    const int bottom = picture.y + nearest((design.y - designPicture.y) * sy);
    const int top = picture.y + nearest((design.y + design.height - designPicture.y) * sy);
    return {left, bottom, right - left, top - bottom};
}

}  // namespace quarbtro
