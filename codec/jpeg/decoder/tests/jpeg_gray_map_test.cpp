// Gray output below 256 levels: level values and limits, the ordered-dither offsets, error diffusion
// keeping a flat field's mean, and the ordered row phase carried from band to band.
#include "codec/jpeg/decoder/jpeg_gray_map.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace zc::jpegdec {
namespace {

std::vector<uint8_t> Triples(const std::vector<uint8_t>& gray) {
  std::vector<uint8_t> rgb;
  for (uint8_t g : gray) rgb.insert(rgb.end(), {g, 0, 0});  // only the first byte is read
  return rgb;
}

TEST(JpegGrayMap, LevelsAndDirectMapping) {
  for (int j = 0; j < 6; ++j) EXPECT_EQ(GrayLevelValue(j, 6), j * 51);
  std::vector<uint8_t> in(256);
  std::iota(in.begin(), in.end(), 0);
  GrayMapper two(2, 0, 256);
  std::vector<uint8_t> out(256);
  two.Map(Triples(in).data(), 256, 1, out.data());
  EXPECT_EQ(out[128], 0);  // upper limit of level 0: (255 + 1) / 2
  EXPECT_EQ(out[129], 1);
  GrayMapper six(6, 0, 256);
  six.Map(Triples(in).data(), 256, 1, out.data());
  // Level limits of 6 levels: 26, 77, 128, 179, 230 (each rounded up).
  const struct {
    int v, level;
  } cases[] = {{0, 0}, {26, 0}, {27, 1}, {77, 1}, {78, 2}, {128, 2}, {129, 3}, {230, 4}, {231, 5}, {255, 5}};
  for (const auto& c : cases) EXPECT_EQ(out[c.v], c.level) << c.v;
}

TEST(JpegGrayMap, OrderedDitherOffsetsAndRowPhaseAcrossBands) {
  // With 6 levels the Bayer offsets run from +22 (matrix value 0) to -22 (value 15): 76 sits just above
  // the limit 76 of level 1 only where the offset is positive.
  std::vector<uint8_t> flat(8 * 8, 76);
  std::vector<uint8_t> whole(64), split(64);
  GrayMapper a(6, 1, 8), b(6, 1, 8);
  a.Map(Triples(flat).data(), 8, 8, whole.data());
  b.Map(Triples(flat).data(), 8, 3, split.data());
  b.Map(Triples(flat).data() + 3 * 8 * 3, 8, 5, split.data() + 3 * 8);
  EXPECT_EQ(whole, split);
  EXPECT_EQ(whole[0], 2);          // 76 + 22 = 98 -> level 2 (limit of level 1 is 76)
  EXPECT_EQ(whole[8 * 3 + 0], 1);  // matrix value 15 (row 3, column 0): 76 - 22 = 54 -> level 1
}

TEST(JpegGrayMap, ErrorDiffusionKeepsTheMean) {
  const int w = 256, h = 64;
  for (int value : {30, 100, 200}) {
    std::vector<uint8_t> flat(static_cast<size_t>(w) * h, static_cast<uint8_t>(value));
    std::vector<uint8_t> out(flat.size());
    GrayMapper m(2, 2, w);
    m.Map(Triples(flat).data(), w, h, out.data());
    double mean = 0;
    for (uint8_t o : out) mean += GrayLevelValue(o, 2);
    mean /= static_cast<double>(out.size());
    EXPECT_NEAR(mean, value, 1.0) << value;
  }
}

}  // namespace
}  // namespace zc::jpegdec
