// Colour cube and colour map tests: level choice, palettes, the ordered-dither entries, mapping by
// each mode, error diffusion on flat fields and extreme inputs, and band-split invariance.
#include "codec/formats/color_map.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/formats/color_cube.h"

namespace zc::codec {
namespace {

TEST(ColorCube, LevelsAndPalettes) {
  struct Case {
    int components;
    uint16_t colors;
    int result;
    uint16_t size;
  };
  const Case cases[] = {{3, 7, -1, 7},    {3, 8, 1, 8},  {3, 256, 1, 216},
                        {1, 256, 1, 256}, {1, 1, -1, 1}, {3, 1000, 1, 216}};
  for (const Case& c : cases) {
    uint16_t colors = c.colors;
    iImgError = 0;
    EXPECT_EQ(funcColorCube(c.components, &colors, nullptr, nullptr), c.result) << c.colors;
    EXPECT_EQ(colors, c.size);
    if (c.result < 0) {
      EXPECT_EQ(iImgError, 31);
    }
  }
  std::vector<uint8_t> pal(768);
  uint16_t colors = 256;
  funcColorCube(1, &colors, nullptr, pal.data());
  for (int i = 0; i < 256; ++i) EXPECT_EQ(pal[i], i);
  colors = 256;
  funcColorCube(3, &colors, nullptr, pal.data());
  // Component 0 varies slowest: entry 1 is (0, 0, 51), entry 36 is (51, 0, 0).
  EXPECT_EQ(std::vector<uint8_t>(pal.begin() + 3, pal.begin() + 6), (std::vector<uint8_t>{0, 0, 51}));
  EXPECT_EQ(std::vector<uint8_t>(pal.begin() + 108, pal.begin() + 111), (std::vector<uint8_t>{51, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(pal.begin() + 645, pal.begin() + 648),
            (std::vector<uint8_t>{255, 255, 255}));
}

TEST(ColorMap, OrderedDitherEntriesForSixLevels) {
  ImgColorMap map{};
  map.components = 3;
  map.ditherMode = kDitherOrdered;
  map.colors = 256;
  map.lineWidth = 4;
  ASSERT_EQ(funcInitColorMap(&map), 0);
  EXPECT_EQ(map.levels[0], 6);
  EXPECT_EQ(map.ditherTables[0][0], 277);   // matrix value 0
  EXPECT_EQ(map.ditherTables[0][12], 233);  // matrix value 15
  funcFreeColorMap(&map);
  EXPECT_EQ(map.indexTables[0], nullptr);
  EXPECT_EQ(funcFreeColorMap(nullptr), 0);
}

TEST(ColorMap, NearestMapsToTheClosestCubeEntry) {
  std::vector<uint8_t> pal(768);
  ImgColorMap map{};
  map.components = 3;
  map.colors = 256;
  map.palette = pal.data();
  map.lineWidth = 256;
  ASSERT_EQ(funcInitColorMap(&map), 0);
  std::vector<uint8_t> in(256 * 3), out(256);
  for (int i = 0; i < 256; ++i) {
    in[3 * i] = static_cast<uint8_t>(i);
    in[3 * i + 1] = static_cast<uint8_t>(255 - i);
    in[3 * i + 2] = static_cast<uint8_t>(i / 2);
  }
  funcMapLineNearest(&map, 1, in.data(), out.data());
  for (int i = 0; i < 256; ++i) {
    ASSERT_LT(out[i], 216);
    for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(pal[3 * out[i] + c] - in[3 * i + c]), 26) << i;
  }
  funcFreeColorMap(&map);
}

// Mean of the palette values chosen for a flat field of one component.
double flatMean(uint8_t mode, int value, int rows, int width) {
  std::vector<uint8_t> pal(768);
  ImgColorMap map{};
  map.components = 3;
  map.ditherMode = mode;
  map.colors = 256;
  map.palette = pal.data();
  map.lineWidth = width;
  EXPECT_EQ(funcInitColorMap(&map), 0);
  std::vector<uint8_t> in(static_cast<size_t>(width) * rows * 3, static_cast<uint8_t>(value));
  std::vector<uint8_t> out(static_cast<size_t>(width) * rows);
  mapLines(&map, rows, in.data(), out.data());
  funcFreeColorMap(&map);
  double sum = 0;
  for (uint8_t o : out) sum += pal[3 * o];
  return sum / out.size();
}

TEST(ColorMap, DitheringKeepsTheMeanOfFlatFields) {
  for (const int v : {10, 40, 100, 128, 200, 250}) {
    EXPECT_NEAR(flatMean(kDitherDiffusion, v, 16, 64), v, 1.0) << v;
    EXPECT_NEAR(flatMean(kDitherOrdered, v, 16, 64), v, 4.0) << v;
  }
}

TEST(ColorMap, DiffusionOfExtremesStaysInsideTheTables) {
  // Alternating black and white with two levels piles errors up; the clamp keeps lookups in range.
  for (const uint16_t colors : {8, 27, 256}) {
    ImgColorMap map{};
    map.components = 3;
    map.ditherMode = kDitherDiffusion;
    map.colors = colors;
    map.lineWidth = 33;
    ASSERT_EQ(funcInitColorMap(&map), 0);
    std::vector<uint8_t> in(33 * 9 * 3), out(33 * 9);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i / 3 + i / 99) % 2 ? 255 : 0;
    funcMapLineDither(&map, 9, in.data(), out.data());
    for (uint8_t o : out) EXPECT_LT(o, map.colors);
    funcFreeColorMap(&map);
  }
}

// Maps a picture band by band; ordered dither and diffusion with even bands match one call.
std::vector<uint8_t> mapInBands(uint8_t mode, int band) {
  const int w = 29, h = 24;
  std::vector<uint8_t> in(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
  ImgColorMap map{};
  map.components = 3;
  map.ditherMode = mode;
  map.colors = 64;
  map.lineWidth = w;
  EXPECT_EQ(funcInitColorMap(&map), 0);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; y += band) {
    mapLines(&map, std::min(band, h - y), in.data() + static_cast<size_t>(y) * w * 3, out.data() + y * w);
  }
  funcFreeColorMap(&map);
  return out;
}

TEST(ColorMap, BandSplitGivesTheSameIndexes) {
  for (const uint8_t mode : {kDitherNone, kDitherOrdered, kDitherDiffusion}) {
    const std::vector<uint8_t> whole = mapInBands(mode, 24);
    for (const int band : {2, 4, 8}) EXPECT_EQ(mapInBands(mode, band), whole) << int(mode) << " " << band;
  }
  EXPECT_EQ(mapInBands(kDitherOrdered, 3), mapInBands(kDitherOrdered, 24));
}

TEST(ColorMap, FullGrayRampMapsEveryValueToItself) {
  ImgColorMap map{};
  map.components = 1;
  map.colors = 256;
  map.lineWidth = 256;
  ASSERT_EQ(funcInitColorMap(&map), 0);
  std::vector<uint8_t> in(256), out(256);
  std::iota(in.begin(), in.end(), 0);
  funcMapLineNearest(&map, 1, in.data(), out.data());
  EXPECT_EQ(out, in);
  funcFreeColorMap(&map);
  EXPECT_EQ(funcCubeLimit(0, 6), 25);  // 26 lies nearer 51 than 0
}

TEST(GrayRamp, FullAndReducedLevels) {
  std::vector<uint8_t> pal(768, 1);
  EXPECT_EQ(funcGrayRamp(1, 256, nullptr, pal.data()), 1);
  EXPECT_EQ(pal[3 * 200], 200);
  EXPECT_EQ(pal[3 * 200 + 2], 200);
  ImgColorMap map{};
  funcGrayRamp(1, 4, &map, pal.data());
  EXPECT_EQ(std::vector<uint8_t>(pal.begin(), pal.begin() + 12),
            (std::vector<uint8_t>{0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}));
  EXPECT_EQ(map.levels[0], 4);
  funcGrayRamp(1, 256, &map, nullptr);
  EXPECT_EQ(map.levels[0], 255);
}

}  // namespace
}  // namespace zc::codec
