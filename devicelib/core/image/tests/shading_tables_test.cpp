// Shading table builders: identity at full-scale calibration, the stretch and gain examples, and the 4-bit
// pair layout.
#include "qv6/image/shading_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace qv6::shading {
namespace {

TEST(ShadingTables, IdentityTablesFillEveryWholeTableOnly) {
  // Table counts that are and are not powers of two, and a tail shorter than a table that stays as it was.
  for (size_t tables : {size_t{1}, size_t{2}, size_t{3}, size_t{9000}}) {
    std::vector<uint8_t> t(tables * 256 + 7, 0xA5);
    IdentityTables(t);
    for (size_t i = 0; i < tables * 256; ++i) ASSERT_EQ(t[i], i % 256) << tables << " tables, byte " << i;
    for (size_t i = tables * 256; i < t.size(); ++i) ASSERT_EQ(t[i], 0xA5) << tables << " tables, tail";
  }
}

TEST(ShadingTables, LinearStretch) {
  std::array<uint8_t, 256> t{};
  LinearStretch(0, 255, t);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i);

  LinearStretch(40, 200, t);
  const struct {
    int in, out;
  } points[] = {{0, 0}, {39, 0}, {40, 0}, {41, 1}, {120, 127}, {199, 253}, {200, 255}, {255, 255}};
  for (const auto& p : points) EXPECT_EQ(t[p.in], p.out) << p.in;

  // White at or below black: a threshold at the black level; entry 0 stays 0 even below a negative black.
  LinearStretch(100, 50, t);
  EXPECT_EQ(t[100], 0);
  EXPECT_EQ(t[101], 255);
  LinearStretch(-10, 100, t);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 25);
}

TEST(ShadingTables, WhiteGain) {
  EXPECT_EQ(WhiteLevel(0), 255);
  EXPECT_EQ(WhiteLevel(7), 7);

  std::array<uint8_t, 256> t{};
  WhiteGain8(255, t);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i);
  WhiteGain8(128, t);  // step 261120 / 128 = 2040
  EXPECT_EQ(t[64], (64 * 2040) >> 10);
  EXPECT_EQ(t[127], (127 * 2040) >> 10);
  EXPECT_EQ(t[128], 255);

  std::array<uint8_t, 16> n{};
  WhiteGainNibbles(255, n);
  for (int h = 0; h < 16; ++h) EXPECT_EQ(n[h], h);
  WhiteGainNibbles(64, n);  // step 4080: k = 0..63 fill nibbles 0..3, the rest stay 15
  EXPECT_EQ(n[0], (15 * 4080 >> 14) & 15);
  EXPECT_EQ(n[3], (63 * 4080 >> 14) & 15);
  EXPECT_EQ(n[4], 15);
}

TEST(ShadingTables, PairTableHoldsOddPixelHigh) {
  std::array<uint8_t, 16> low{};
  std::array<uint8_t, 16> high{};
  for (int i = 0; i < 16; ++i) {
    low[i] = static_cast<uint8_t>(15 - i);
    high[i] = static_cast<uint8_t>(i / 2);
  }
  std::array<uint8_t, 256> t{};
  PairTable(low, high, t);
  EXPECT_EQ(t[0x00], 0x0F);
  EXPECT_EQ(t[0xA3], ((10 / 2) << 4) | (15 - 3));
  EXPECT_EQ(t[0xFF], 0x70);
}

TEST(ShadingTables, SixBitStretch) {
  std::array<uint8_t, 64> t{};
  SixBitStretch(40, 200, t);
  // b / 4 = 10, w / 4 = 50: zero up to 10, stretched between, 255 from 50 on.
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[10], 0);
  EXPECT_EQ(t[11], 255 * (44 - 40) / 160);
  EXPECT_EQ(t[30], 255 * (120 - 40) / 160);
  EXPECT_EQ(t[49], 255 * (196 - 40) / 160);
  EXPECT_EQ(t[50], 255);
  EXPECT_EQ(t[63], 255);
  SixBitStretch(0, 255, t);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 4);
  EXPECT_EQ(t[63], 255);
}

}  // namespace
}  // namespace qv6::shading
