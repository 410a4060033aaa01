#pragma once
// The intro's sheet: a 50 x 50 height field (a bowl open towards -z with a raised ridge across
// rows 21 to 29) and the textured mesh drawn from it.

namespace quarbtro {

inline constexpr int heightFieldSize = 50;
// Row i, column j; filled by computeHeightField.
extern float heightField[heightFieldSize][heightFieldSize];

void computeHeightField();
// 49 x 49 cells of 0.2 tiling -5..5 in x and y, the bound texture covering it once. Lighting
// is off while it draws.
void drawHeightMesh();

}  // namespace quarbtro
