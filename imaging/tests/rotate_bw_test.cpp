// 1-bit rotation: result codes, a single pixel, and properties on random rasters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/rotate_bw.h"

namespace zc::imaging {
namespace {

struct CodeCase {
  const char* name;
  unsigned width, height;
  int code;
  int result;
};

class RotateCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(RotateCodeTest, ChecksInOrderAndWritesNothingOnFailure) {
  const CodeCase& c = GetParam();
  std::vector<uint8_t> src(80000, 0x5A), dst(80000, 0xEE);
  EXPECT_EQ(funcRotateBWImage(src.data(), dst.data(), c.width, c.height, c.code), c.result);
  if (c.result != 0) {
    EXPECT_EQ(dst, std::vector<uint8_t>(80000, 0xEE));
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, RotateCodeTest,
                         ::testing::Values(CodeCase{"width_12", 12, 12, 9, 1}, CodeCase{"height_12", 16, 12, 9, 2},
                                           CodeCase{"over_64k_bytes", 1024, 520, 9, 5},
                                           CodeCase{"code_4", 16, 16, 4, 3}, CodeCase{"code_negative", 16, 16, -1, 3},
                                           CodeCase{"exactly_64k_bytes", 1024, 512, 1, 0}),
                         [](const auto& p) { return std::string(p.param.name); });

struct PixelCase {
  const char* name;
  int code;
  int row;
  uint8_t byte;
};

class RotatePixelTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(RotatePixelTest, TopLeftPixelLands) {
  std::vector<uint8_t> src(8, 0), dst(8, 0);
  src[0] = 0x80;
  ASSERT_EQ(funcRotateBWImage(src.data(), dst.data(), 8, 8, GetParam().code), 0);
  std::vector<uint8_t> expected(8, 0);
  expected[GetParam().row] = GetParam().byte;
  EXPECT_EQ(dst, expected);
}

INSTANTIATE_TEST_SUITE_P(Pixels, RotatePixelTest,
                         ::testing::Values(PixelCase{"copy", 0, 0, 0x80},
                                           PixelCase{"counter_clockwise_bottom_left", 1, 7, 0x80},
                                           PixelCase{"half_turn_bottom_right", 2, 7, 0x01},
                                           PixelCase{"clockwise_top_right", 3, 0, 0x01}),
                         [](const auto& p) { return std::string(p.param.name); });

std::vector<uint8_t> Turn(const std::vector<uint8_t>& src, unsigned w, unsigned h, int code) {
  std::vector<uint8_t> out(src.size());
  EXPECT_EQ(funcRotateBWImage(src.data(), out.data(), w, h, code), 0);
  return out;
}

TEST(RotatePropertyTest, TurnsCompose) {
  std::mt19937 rng(5);
  for (auto [w, h] : {std::pair{8u, 8u}, std::pair{24u, 40u}, std::pair{64u, 16u}, std::pair{512u, 128u}}) {
    std::vector<uint8_t> src(w / 8 * h);
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    const auto left = Turn(src, w, h, 1);
    EXPECT_EQ(Turn(left, h, w, 3), src) << w << "x" << h << ": 1 then 3";
    const auto twice = Turn(left, h, w, 1);
    EXPECT_EQ(twice, Turn(src, w, h, 2)) << w << "x" << h << ": 2 equals 1 twice";
    EXPECT_EQ(Turn(Turn(twice, w, h, 1), h, w, 1), src) << w << "x" << h << ": four quarter turns";
  }
}

TEST(RotatePropertyTest, QuarterTurnMovesEveryPixelToItsPlace) {
  std::mt19937 rng(9);
  const unsigned w = 32, h = 16;
  std::vector<uint8_t> src(w / 8 * h);
  for (auto& b : src) b = static_cast<uint8_t>(rng());
  std::vector<uint8_t> left(src.size()), right(src.size());
  funcRotateBW90Left(src.data(), left.data(), w, h);
  funcRotateBW90Right(src.data(), right.data(), w, h);
  auto bit = [](const std::vector<uint8_t>& img, unsigned rowBytes, unsigned x, unsigned y) {
    return (img[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
  };
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x) {
      ASSERT_EQ(bit(left, h / 8, y, w - 1 - x), bit(src, w / 8, x, y));
      ASSERT_EQ(bit(right, h / 8, h - 1 - y, x), bit(src, w / 8, x, y));
    }
}

}  // namespace
}  // namespace zc::imaging
