// Set-up and release of the colour-reduction tables.
#include "codec/formats/color_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/core/img_error.h"
#include "codec/formats/color_cube.h"

namespace zc::codec {
namespace {

// Order-4 Bayer matrix.
constexpr int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

int levelOf(int v, int levels) {
  v = std::clamp(v, 0, 255);
  int k = 0;
  while (k < levels - 1 && funcCubeLimit(k, levels) < v) ++k;
  return k;
}

}  // namespace

int funcFreeColorMap(ImgColorMap* map) {
  if (map == nullptr) return 0;
  for (int c = 0; c < 3; ++c) {
    std::free(map->indexTables[c]);
    std::free(map->ditherTables[c]);
    map->indexTables[c] = nullptr;
    map->ditherTables[c] = nullptr;
  }
  std::free(map->errorRows);
  std::free(map->errorTable);
  map->errorRows = nullptr;
  map->errorTable = nullptr;
  return 0;
}

int funcInitColorMap(ImgColorMap* map) {
  if (map == nullptr) return imgFail(kImgErrNullPointer);
  uint16_t colors = map->colors;
  if (funcColorCube(map->components, &colors, map, map->palette) < 0) return -1;
  const int comps = map->components;
  const int n = map->levels[0];
  int block = map->colors / n;
  for (int c = 0; c < comps; ++c, block /= n) {
    auto* table = static_cast<uint16_t*>(std::malloc(kIndexTableSize * sizeof(uint16_t)));
    if (table == nullptr) {
      funcFreeColorMap(map);
      return imgFail(kImgErrNoMemory);
    }
    for (int i = 0; i < kIndexTableSize; ++i) table[i] = static_cast<uint16_t>(levelOf(i - 255, n) * block);
    map->indexTables[c] = table;
  }
  if (map->ditherMode == kDitherDiffusion) {
    const size_t width = static_cast<size_t>(std::max(map->lineWidth, 0));
    map->errorRows = static_cast<int16_t*>(std::calloc(3 * (width + 2), sizeof(int16_t)));
    map->errorTable = static_cast<int16_t*>(std::malloc(3 * 768 * sizeof(int16_t)));
    if (map->errorRows == nullptr || map->errorTable == nullptr) {
      funcFreeColorMap(map);
      return imgFail(kImgErrNoMemory);
    }
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 768; ++i) {
        const int v = i - 256;
        map->errorTable[c * 768 + i] = static_cast<int16_t>(v - funcCubeValue(levelOf(v, n), n));
      }
    }
  } else if (map->ditherMode == kDitherOrdered) {
    for (int c = 0; c < comps; ++c) {
      auto* table = static_cast<int16_t*>(std::malloc(16 * sizeof(int16_t)));
      if (table == nullptr) {
        funcFreeColorMap(map);
        return imgFail(kImgErrNoMemory);
      }
      for (int i = 0; i < 16; ++i)
        table[i] = static_cast<int16_t>(255 + ((15 - 2 * kBayer[i]) * 255) / (34 * (n - 1)));
      map->ditherTables[c] = table;
    }
  }
  map->rowIndex = 0;
  return 0;
}

int funcNoOp() {
  return 0;
}

}  // namespace zc::codec
