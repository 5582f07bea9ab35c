// The colour-cube palette that colour reduction maps into, and the gray ramps the readers hand
// to callers. A cube of n levels per component has n^components entries; component 0 varies
// slowest. Level j of n has the output value (j * 255 + (n - 1) / 2) / (n - 1).
#pragma once

#include <cstdint>

namespace zc::codec {

struct ImgColorMap;

// Output value of level j of n levels.
int funcCubeValue(int level, int levels);
// Largest input value that maps to level k of n levels (the midpoint to the next level).
int funcCubeLimit(int level, int levels);

// Chooses the largest level count n with n^components <= *colors (colours capped at 256, the size
// of every palette buffer), writes the cube's size back into *colors, fills `palette` (R, G, B
// for three components, one byte for one) when given and records the cube in `map` when given.
// 1, or -1 with error 31 when fewer than two levels fit.
int funcColorCube(int components, uint16_t* colors, ImgColorMap* map, uint8_t* palette);

// Gray palette of `colors` entries (R = G = B): entry i = i for 256 colours, else the cube value
// of level i. When `map` is given it records the levels (255 for 256 colours), colours, components
// and palette. Result 1.
int funcGrayRamp(int components, int colors, ImgColorMap* map, uint8_t* palette);

}  // namespace zc::codec
