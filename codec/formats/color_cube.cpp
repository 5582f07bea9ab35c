// Colour cube and gray ramp palettes.
#include "codec/formats/color_cube.h"

#include <algorithm>

#include "codec/core/img_error.h"
#include "codec/formats/color_map.h"

namespace zc::codec {

int funcCubeValue(int level, int levels) {
  if (levels < 2) return 0;
  return (level * 255 + (levels - 1) / 2) / (levels - 1);
}

// The midpoint between two levels, rounded down: rounding it up would send every value of a
// 256-level ramp to the level below it.
int funcCubeLimit(int level, int levels) {
  if (levels < 2) return 255;
  return ((2 * level + 1) * 255) / (2 * (levels - 1));
}

int funcColorCube(int components, uint16_t* colors, ImgColorMap* map, uint8_t* palette) {
  if (colors == nullptr || components < 1 || components > 3) return imgFail(31);
  const int limit = std::min<int>(*colors, 256);
  int n = 1;
  while (true) {
    int power = 1;
    for (int c = 0; c < components; ++c) power *= n + 1;
    if (power > limit) break;
    ++n;
  }
  if (n < 2) return imgFail(31);
  int size = 1;
  for (int c = 0; c < components; ++c) size *= n;
  *colors = static_cast<uint16_t>(size);
  if (palette != nullptr) {
    for (int p = 0; p < size; ++p) {
      int block = size / n;
      for (int c = 0; c < components; ++c, block /= n) {
        palette[p * components + c] = static_cast<uint8_t>(funcCubeValue((p / block) % n, n));
      }
    }
  }
  if (map != nullptr) {
    map->components = static_cast<uint16_t>(components);
    for (int c = 0; c < 3; ++c) map->levels[c] = static_cast<uint16_t>(c < components ? n : 0);
    map->colors = static_cast<uint16_t>(size);
    map->palette = palette;
  }
  return 1;
}

int funcGrayRamp(int components, int colors, ImgColorMap* map, uint8_t* palette) {
  colors = std::clamp(colors, 0, 256);
  if (palette != nullptr) {
    for (int i = 0; i < colors; ++i) {
      const auto v = static_cast<uint8_t>(colors == 256 ? i : funcCubeValue(i, colors));
      palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = v;
    }
  }
  if (map != nullptr) {
    map->levels[0] = static_cast<uint16_t>(colors == 256 ? 255 : colors);
    map->colors = static_cast<uint16_t>(colors);
    map->components = static_cast<uint16_t>(components);
    map->palette = palette;
  }
  return 1;
}

}  // namespace zc::codec
