// Inverse transform: the flat-block rule, agreement with a floating-point IDCT, the clamping range table,
// and hostile coefficients (run under UBSan: no overflow anywhere in the two passes).
#include "codec/jpeg/decoder/jpeg_idct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <random>

namespace zc::jpegdec {
namespace {

std::array<uint16_t, 64> Flat(uint16_t q) {
  std::array<uint16_t, 64> t;
  t.fill(q);
  return t;
}

// Coefficients of kind 0 (every one at an extreme), 1 (random) or 2 (sparse and small, as real blocks).
void FillBlock(int kind, std::mt19937& rng, int16_t coef[64]) {
  for (int i = 0; i < 64; ++i) {
    switch (kind) {
      case 0:
        coef[i] = static_cast<int16_t>(rng() % 2 ? 32767 : -32768);
        break;
      case 1:
        coef[i] = static_cast<int16_t>(rng());
        break;
      default:
        coef[i] = static_cast<int16_t>(rng() % 4 ? 0 : static_cast<int>(rng() % 161) - 80);
        break;
    }
  }
}

TEST(JpegIdct, FlatBlockFollowsTheDcRule) {
  for (uint16_t q : {1, 2, 8, 16, 99}) {
    PreparedQuant p = PrepareQuant(Flat(q));
    EXPECT_EQ(p[0], 4 * q);
    for (int dc : {-1024 / q, -50, -1, 0, 1, 7, 60, 1016 / q}) {
      int16_t coef[64] = {};
      coef[0] = static_cast<int16_t>(dc);
      uint8_t out[64];
      InverseDct(coef, p, out, 8);
      uint8_t expected = RangeLimit((4 * dc * q + 16) >> 5);
      for (int i = 0; i < 64; ++i) ASSERT_EQ(out[i], expected) << q << " " << dc;
    }
  }
}

TEST(JpegIdct, RangeTableShiftsAndClamps) {
  EXPECT_EQ(RangeLimit(0), 128);
  EXPECT_EQ(RangeLimit(127), 255);
  EXPECT_EQ(RangeLimit(300), 255);  // bright overshoot stays white
  EXPECT_EQ(RangeLimit(511), 255);
  EXPECT_EQ(RangeLimit(-128), 0);
  EXPECT_EQ(RangeLimit(-400), 0);  // dark overshoot stays black
  EXPECT_EQ(RangeLimit(-512), 0);
  EXPECT_EQ(RangeLimit(-1), 127);
}

double Alpha(int u) {
  return u == 0 ? std::sqrt(0.5) : 1.0;
}

TEST(JpegIdct, AgreesWithFloatingPoint) {
  std::mt19937 rng(7);
  std::array<uint16_t, 64> q;
  for (int i = 0; i < 64; ++i) q[i] = static_cast<uint16_t>(2 + (i % 9));
  PreparedQuant p = PrepareQuant(q);
  int worst = 0;
  long total = 0;
  for (int n = 0; n < 2000; ++n) {
    int16_t coef[64] = {};
    coef[0] = static_cast<int16_t>(static_cast<int>(rng() % 200) - 100);
    // Magnitudes falling with frequency, as in coded pictures.
    for (int k = 1; k < 64; ++k) {
      int span = 24 / (1 + k / 8 + k % 8);
      if (rng() % 3 == 0) coef[k] = static_cast<int16_t>(static_cast<int>(rng() % (2 * span + 1)) - span);
    }
    uint8_t out[64];
    InverseDct(coef, p, out, 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        double s = 0;
        for (int v = 0; v < 8; ++v) {
          for (int u = 0; u < 8; ++u) {
            s += Alpha(u) * Alpha(v) * coef[v * 8 + u] * q[v * 8 + u] *
                 std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
          }
        }
        double ref = std::clamp(std::round(s / 4 + 128), 0.0, 255.0);
        int err = static_cast<int>(std::abs(ref - out[y * 8 + x]));
        worst = std::max(worst, err);
        total += err;
      }
    }
  }
  EXPECT_LE(worst, 2);
  EXPECT_LT(static_cast<double>(total) / (2000.0 * 64), 0.6);
}

TEST(JpegIdct, VectorPathEqualsScalarReferenceIncludingHostileInput) {
  // Hostile extremes also show (under UBSan) that no intermediate overflows.
  std::mt19937 rng(3);
  const PreparedQuant tables[] = {PrepareQuant(Flat(65535)), PrepareQuant(Flat(1)), PrepareQuant(Flat(12))};
  int mismatches = 0;
  for (int n = 0; n < 30000; ++n) {
    int16_t coef[64];
    FillBlock(n % 3, rng, coef);
    uint8_t fast[64 + 8], ref[64 + 8];
    std::fill(std::begin(fast), std::end(fast), 0xAB);
    std::fill(std::begin(ref), std::end(ref), 0xAB);
    const PreparedQuant& q = tables[(n / 3) % 3];
    InverseDct(coef, q, fast, 9);  // a stride wider than the block: the gaps stay untouched
    InverseDctScalar(coef, q, ref, 9);
    mismatches += std::memcmp(fast, ref, sizeof(fast)) != 0;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(JpegIdct, ReducedTransformsKeepTheDecimatedSamples) {
  // Scaled-down decoding computes only the samples that decimation keeps; they must be the full
  // transform's, for ordinary, random and extreme blocks and for flat blocks.
  std::mt19937 rng(7);
  const PreparedQuant tables[] = {PrepareQuant(Flat(65535)), PrepareQuant(Flat(1)), PrepareQuant(Flat(12))};
  int mismatches = 0;
  for (int n = 0; n < 9000; ++n) {
    int16_t coef[64] = {};
    if (n % 4 < 3) {
      FillBlock(n % 4, rng, coef);
    } else {  // flat: DC only
      coef[0] = static_cast<int16_t>(static_cast<int>(rng() % 2049) - 1024);
    }
    const PreparedQuant& q = tables[(n / 4) % 3];
    uint8_t full[64];
    InverseDctScalar(coef, q, full, 8);
    for (int factor : {2, 4, 8}) {
      const int side = 8 / factor;
      uint8_t got[9 * 4];
      std::fill(std::begin(got), std::end(got), 0xAB);
      if (n % 4 == 3) {
        InverseDctDcOnly(coef[0], q, got, 9, side);
      } else {
        InverseDctReduced(coef, q, factor, got, 9);  // stride 9: the gaps stay untouched
      }
      for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 9; ++k) {
          const uint8_t want = r < side && k < side ? full[8 * r * factor + k * factor] : 0xAB;
          mismatches += got[9 * r + k] != want;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace zc::jpegdec
