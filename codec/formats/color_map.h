// Reduction of RGB (or gray) rows to colour-cube palette indexes in one pass: nearest level, a
// 4x4 ordered (Bayer) dither, or Floyd-Steinberg error diffusion in alternating directions. The
// set-up builds lookup tables so that mapping needs no division per pixel.
#pragma once

#include <cstdint>

namespace zc::codec {

enum ImgDitherMode : uint8_t {
  kDitherNone = 0,
  kDitherOrdered = 1,
  kDitherDiffusion = 2,
  kDitherTablesOnly = 9,  // padded index tables only
};

struct ImgColorMap {
  uint16_t rowIndex;    // row of the ordered-dither matrix for the next line (0..3)
  uint16_t components;  // 1 or 3: bytes per input pixel
  uint8_t ditherMode;
  uint16_t levels[3];  // levels per component
  uint16_t colors;     // in: most colours the palette may hold; out: the cube's size
  // Per component, input value -> contribution to the palette index; entry i is for value i - 255
  // (values -255..510, the ends repeating the entries of 0 and 255).
  uint16_t* indexTables[3];
  int16_t* ditherTables[3];  // per component, 16 offsets (4 rows of 4) into the padded index table
  int16_t* errorRows;        // 3 rows of (lineWidth + 2) errors in 1/16
  int16_t* errorTable;       // 3 x 768: value - output value of its level, for values -256..511
  uint8_t* palette;          // cube palette, colours x components bytes
  int32_t lineWidth;         // pixels per line
};

inline constexpr int kIndexTableSize = 766;

// Builds the tables for map->components, ditherMode, colors, palette and lineWidth.
// 0, or -1 with error 31 (too few colours) or 2 (memory); partial allocations are freed.
int funcInitColorMap(ImgColorMap* map);
// Frees every table; a null map is accepted. Result 0.
int funcFreeColorMap(ImgColorMap* map);

// Map `rows` packed lines of lineWidth pixels (components bytes each) to one index byte a pixel.
void funcMapLineNearest(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out);
void funcMapLineRGB(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out);
void funcMapLineDither(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out);
// Map by the map's dither mode (0 nearest, 1 ordered, 2 diffusion; anything else nearest).
void mapLines(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out);

int funcNoOp();

}  // namespace zc::codec
