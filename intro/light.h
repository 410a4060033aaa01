#pragma once
// The scene light: light 1, positional, white diffuse and no ambient. Light 0 is never used.

namespace quarbtro {

class Light {
public:
    Light(float x, float y, float z);
    // Called with the modelview matrix at identity, so the position is in eye coordinates.
    void apply() const;

    float position[4];  // x, y, z, w (w = 1: positional)
    bool enabled;
    float ambient[4];   // r, g, b, a
    float diffuse[4];   // r, g, b, a
};

}  // namespace quarbtro
