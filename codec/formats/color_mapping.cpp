// The three line mappers of colour reduction. Pixels are `components` bytes each; the index of a
// pixel is the sum of its components' index-table entries.
#include <algorithm>
#include <cstring>

#include "codec/formats/color_map.h"

namespace zc::codec {

void funcMapLineNearest(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out) {
  if (map == nullptr || map->indexTables[0] == nullptr) return;
  const int comps = map->components;
  const size_t pixels = static_cast<size_t>(std::max(rows, 0)) * std::max(map->lineWidth, 0);
  for (size_t i = 0; i < pixels; ++i, in += comps) {
    int index = 0;
    for (int c = 0; c < comps; ++c) index += map->indexTables[c][in[c] + 255];
    out[i] = static_cast<uint8_t>(index);
  }
}

void funcMapLineRGB(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out) {
  if (map == nullptr || map->ditherTables[0] == nullptr) {
    funcMapLineNearest(map, rows, in, out);
    return;
  }
  const int comps = map->components;
  const int width = std::max(map->lineWidth, 0);
  for (int r = 0; r < rows; ++r) {
    const int row = (map->rowIndex & 3) * 4;
    for (int x = 0; x < width; ++x, in += comps) {
      int index = 0;
      // The dither entries carry the +255 offset into the padded table.
      for (int c = 0; c < comps; ++c)
        index += map->indexTables[c][in[c] + map->ditherTables[c][row + (x & 3)]];
      *out++ = static_cast<uint8_t>(index);
    }
    map->rowIndex = static_cast<uint16_t>((map->rowIndex + 1) & 3);
  }
}

void funcMapLineDither(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out) {
  if (map == nullptr || map->errorRows == nullptr) {
    funcMapLineNearest(map, rows, in, out);
    return;
  }
  const int comps = map->components;
  const int width = std::max(map->lineWidth, 0);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* line = in + static_cast<size_t>(r) * width * comps;
    uint8_t* dst = out + static_cast<size_t>(r) * width;
    std::memset(dst, 0, static_cast<size_t>(width));
    const int dir = (r & 1) == 0 ? 1 : -1;
    for (int c = 0; c < comps; ++c) {
      int16_t* errors = map->errorRows + static_cast<size_t>(c) * (width + 2);
      const uint16_t* table = map->indexTables[c];
      const int16_t* errorTable = map->errorTable + c * 768;
      // Floyd-Steinberg split 7/16 ahead, 3/16 behind below, 5/16 below, 1/16 ahead below; errors in 1/16.
      int carry = 0, pending = 0, below = 0;
      int p = dir > 0 ? 0 : width + 1;
      int x = dir > 0 ? 0 : width - 1;
      for (int i = 0; i < width; ++i, x += dir, p += dir) {
        int v = ((carry + errors[p + dir] + 8) >> 4) + line[static_cast<size_t>(x) * comps + c];
        // Piled-up errors must not leave the padded tables.
        v = std::clamp(v, -255, 510);
        dst[x] = static_cast<uint8_t>(dst[x] + table[v + 255]);
        const int q = errorTable[v + 256];
        errors[p] = static_cast<int16_t>(pending + 3 * q);
        pending = below + 5 * q;
        below = q;
        carry = 7 * q;
      }
      errors[p] = static_cast<int16_t>(pending);
    }
  }
}

void mapLines(ImgColorMap* map, int rows, const uint8_t* in, uint8_t* out) {
  switch (map->ditherMode) {
    case kDitherOrdered:
      funcMapLineRGB(map, rows, in, out);
      break;
    case kDitherDiffusion:
      funcMapLineDither(map, rows, in, out);
      break;
    default:
      funcMapLineNearest(map, rows, in, out);
  }
}

}  // namespace zc::codec
