// Quality scaling of the quantisation tables, the AAN divisors and the Huffman code construction.
#include "codec/jpeg/jpeg_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "codec/jpeg/huffman_code.h"
#include "codec/jpeg/transform_kernels.h"

namespace zc::jpeg {
namespace {

TEST(JpegQuality, ScalingFollowsTheAnnexKRule) {
  EXPECT_EQ(ScaleQuantTable(kLuminanceQuantBase, 75)[0], 8);  // (16 x 50 + 50) / 100
  const auto q95 = ScaleQuantTable(kLuminanceQuantBase, 95);
  EXPECT_EQ(q95[2], 1);  // base 10 at scale 10
  for (uint16_t v : q95) EXPECT_GE(v, 1);
  const auto q5 = ScaleQuantTable(kLuminanceQuantBase, 5);
  for (int i = 0; i < 64; ++i) {
    if (kLuminanceQuantBase[i] >= 26) {
      EXPECT_EQ(q5[i], 255) << i;
    }
  }
  const auto lum50 = ScaleQuantTable(kLuminanceQuantBase, 50);
  const auto chr50 = ScaleQuantTable(kChrominanceQuantBase, 50);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(lum50[i], kLuminanceQuantBase[i]);
    EXPECT_EQ(chr50[i], kChrominanceQuantBase[i]);
  }
  // Out of range qualities compress as 75.
  for (int q : {0, 4, 96, 100, 1000})
    EXPECT_EQ(ScaleQuantTable(kLuminanceQuantBase, q), ScaleQuantTable(kLuminanceQuantBase, 75));
  EXPECT_EQ(QualityScale(49), 5000 / 49);
}

TEST(JpegQuality, AanScalesAndDivisors) {
  const double pi = std::acos(-1.0);
  for (int u = 0; u < 8; ++u) {
    for (int v = 0; v < 8; ++v) {
      const double au = u == 0 ? 1.0 : std::sqrt(2.0) * std::cos(u * pi / 16);
      const double av = v == 0 ? 1.0 : std::sqrt(2.0) * std::cos(v * pi / 16);
      EXPECT_EQ(kAanScales[8 * u + v], std::lround(16384 * au * av)) << u << "," << v;
    }
  }
  // Quality 75: luminance DC divisor (16384 x 8 + 1024) >> 11 = 64.
  EXPECT_EQ(MakeQuantDivisors(ScaleQuantTable(kLuminanceQuantBase, 75)).divisor[0], 64);
}

TEST(JpegHuffman, StandardTablesGiveTheAnnexKCodes) {
  HuffmanCode dc, ac;
  ASSERT_TRUE(DeriveHuffmanCode(kLuminanceDcSpec, &dc));
  ASSERT_TRUE(DeriveHuffmanCode(kLuminanceAcSpec, &ac));
  EXPECT_EQ(dc.length[0], 2);  // category 0: 00
  EXPECT_EQ(dc.code[0], 0);
  EXPECT_EQ(dc.length[11], 9);  // category 11: 111111110
  EXPECT_EQ(dc.code[11], 0x1FE);
  EXPECT_EQ(ac.length[0x00], 4);  // EOB: 1010
  EXPECT_EQ(ac.code[0x00], 0xA);
  EXPECT_EQ(ac.length[0xF0], 11);  // ZRL: 11111111001
  EXPECT_EQ(ac.code[0xF0], 0x7F9);
  EXPECT_EQ(ac.length[0x02], 2);  // 0/2: 01
}

TEST(JpegHuffman, RefusesOversubscribedTables) {
  HuffmanSpec spec;
  spec.bits[0] = 3;  // three codes of one bit
  HuffmanCode code;
  EXPECT_FALSE(DeriveHuffmanCode(spec, &code));
  HuffmanSpec many;
  many.bits[15] = 255;
  many.bits[14] = 2;  // 257 codes
  EXPECT_FALSE(DeriveHuffmanCode(many, &code));
}

TEST(JpegHuffman, OptimalTableIsAPrefixCodeWithinSixteenBits) {
  // Counts from a geometric distribution force long codes for rare symbols.
  SymbolCounts counts{};
  uint32_t c = 1u << 30;
  for (int s = 0; s<200; ++s, c = c> 1 ? c / 2 + (s % 3) : 1) counts[s] = c;
  const HuffmanSpec spec = BuildOptimalHuffmanSpec(counts);
  EXPECT_EQ(spec.ValueCount(), 200);
  HuffmanCode code;
  ASSERT_TRUE(DeriveHuffmanCode(spec, &code));
  // No code is all ones (the reserved symbol took that place) and more frequent never means longer.
  for (int s = 0; s < 200; ++s) {
    ASSERT_GT(code.length[s], 0);
    ASSERT_LE(code.length[s], 16);
    EXPECT_NE(code.code[s], (1u << code.length[s]) - 1) << s;
    if (s > 0 && counts[s] < counts[s - 1]) {
      EXPECT_GE(code.length[s], code.length[s - 1]) << s;
    }
  }
  // Two symbols of equal count: one bit each after the reserved symbol's removal leaves 1 and 2 bits.
  SymbolCounts two{};
  two[5] = 10;
  two[9] = 10;
  const HuffmanSpec small = BuildOptimalHuffmanSpec(two);
  EXPECT_EQ(small.ValueCount(), 2);
  EXPECT_EQ(small.bits[0] + small.bits[1], 2);
}

}  // namespace
}  // namespace zc::jpeg
