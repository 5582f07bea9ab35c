// Histograms and the fixed-ratio scalers.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <random>
#include <string>
#include <vector>

#include "imaging/histogram.h"
#include "imaging/scalers.h"
#include "imaging_test_support.h"

namespace zc::imaging {
namespace {

using test::HeaderOf;
using test::MakeRecord;
using test::PixelsOf;

TEST(HistogramTest, EveryPixelModeCountsLevelsByHighNibble) {
  Histogram h{};
  EXPECT_EQ(funcGetHistogram(MakeRecord(7, 3, 8, 200, std::vector<uint8_t>(21, 255)), 1, h), 1);
  EXPECT_EQ(h[15], 21u);
  const auto four = MakeRecord(3, 2, 4, 200, {0x12, 0x30, 0x45, 0x60});
  EXPECT_EQ(funcGetHistogram(four, 1, h), 1);
  // Both nibbles of every byte, the padding nibble of the odd width included.
  EXPECT_EQ(h[0], 2u);
  EXPECT_EQ(h[1] + h[2] + h[3] + h[4] + h[5] + h[6], 6u);
}

TEST(HistogramTest, OtherDepthsLeaveCountersAlone) {
  Histogram h;
  h.fill(7);
  EXPECT_EQ(funcGetHistogram(MakeRecord(4, 4, 24, 200), 1, h), 1);
  EXPECT_EQ(h[0], 7u);
  EXPECT_EQ(funcGetHistogram(std::span<const uint8_t>(MakeRecord(4, 4, 8, 200)).first(20), 1, h), -552);
}

TEST(HistogramTest, SampledModeTakesEightSamplesARow) {
  // 18 wide: step 2, samples at columns 2, 4, ..., 16.
  std::vector<uint8_t> px(18 * 2, 0);
  for (int x = 2; x <= 16; x += 2) px[x] = 0xF0;
  Histogram h{};
  funcGetHistogram(MakeRecord(18, 2, 8, 200, px), 0, h);
  EXPECT_EQ(h[15], 8u);
  EXPECT_EQ(h[0], 8u);
}

TEST(HistogramTest, ModeTwoSkipsRowsDownToTheFirstBrightRow) {
  // 18 x 10: rows 0..2 dark, row 3 has 3 samples at level 9 (bright), so rows 0..3 are skipped.
  std::vector<uint8_t> px(18 * 10, 0x50);
  for (int x : {2, 4, 6}) px[18 * 3 + x] = 0x90;
  Histogram h{};
  funcGetHistogram(MakeRecord(18, 10, 8, 200, px), 2, h);
  EXPECT_EQ(h[5], 6u * 8);
  EXPECT_EQ(h[9], 0u);
  // Without a bright row the skipping stops at half the height.
  funcGetHistogram(MakeRecord(18, 10, 8, 200, std::vector<uint8_t>(180, 0x50)), 2, h);
  EXPECT_EQ(h[5], 5u * 8);
}

TEST(HistogramTest, MiniWindowIsClampedToTheRecord) {
  Histogram h{};
  const auto r = MakeRecord(10, 4, 8, 200, std::vector<uint8_t>(40, 0x80));
  EXPECT_EQ(funcMiniGetHistogram(r, 1, h, -5, -5, 100, 100), 1);
  EXPECT_EQ(h[8], 40u);
  EXPECT_EQ(funcMiniGetHistogram(r, 1, h, 1, 2, 3, 6), 1);
  EXPECT_EQ(h[8], 8u);
  EXPECT_EQ(funcMiniGetHistogram(r, 0, h, 0, 0, 4, 1000), 1);
  EXPECT_EQ(h[8], 32u);
  EXPECT_EQ(funcMiniGetHistogram(r, 1, h, 3, 0, 3, 10), -552);
  EXPECT_EQ(funcMiniGetHistogram(r, 1, h, 0, 30, 3, 10), -552);
}

// The scalers' patterns written out as plain lists, the reference the table tests compare with.
struct ScalerRef {
  const char* name;
  int (*scale)(std::span<const uint8_t>, std::span<uint8_t>);
  int sourceDpi, targetDpi;
  bool takes24, evenAt4, mixes;
  std::vector<int> keep;
  int period;
};

const std::vector<ScalerRef>& Scalers() {
  static const std::vector<ScalerRef> s = {
      {"200To120", funcImage200To120, 200, 120, false, false, false, {0, 2, 4}, 5},
      {"300To240", funcImage300To240, 300, 240, true, false, false, {0, 1, 3, 4}, 5},
      {"300To200", funcImage300To200, 300, 200, false, true, true, {0, 1}, 3},
      {"300To100", funcImage300To100, 300, 100, true, true, false, {0}, 3},
      {"300To120", funcImage300To120, 300, 120, true, true, false, {0, 2}, 5},
      {"200To100", funcImage200To100, 240, 120, false, false, false, {0}, 2},
  };
  return s;
}

int Level(const std::vector<uint8_t>& r, int bits, int w, int x, int y, int c = 0) {
  const uint8_t* p = r.data() + 8;
  if (bits == 4) {
    const uint8_t b = p[y * ((w + 1) / 2) + x / 2];
    return (x & 1) ? b & 15 : b >> 4;
  }
  const int bpp = bits / 8;
  return p[(y * w + x) * bpp + c];
}

std::vector<int> KeptIndexes(const ScalerRef& s, int n) {
  std::vector<int> k;
  for (int i = 0; i < n; ++i)
    for (int m : s.keep)
      if (i % s.period == m) k.push_back(i);
  return k;
}

struct ScaleCase {
  size_t scaler;
  int bits, width, height;
};

class ScalerTableTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScalerTableTest, SizeDpiAndPixelsFollowThePattern) {
  const ScaleCase& c = GetParam();
  const ScalerRef& s = Scalers()[c.scaler];
  std::mt19937 rng(c.width * 31 + c.height);
  const int row = static_cast<int>(RecordRowBytes(c.width, c.bits));
  std::vector<uint8_t> px(static_cast<size_t>(row) * c.height);
  for (auto& b : px) b = static_cast<uint8_t>(rng());
  const auto src = MakeRecord(c.width, c.height, c.bits, s.sourceDpi, px);
  std::vector<uint8_t> dst(src.size() + 64, 0xEE);
  ASSERT_EQ(s.scale(src, dst), 1);

  const RecordHeader h = HeaderOf(dst);
  const std::vector<int> rows = KeptIndexes(s, c.height);
  std::vector<int> cols;
  if (s.mixes) {
    for (int i = 0; i < (2 * c.width + 2) / 3; ++i) cols.push_back(i);
  } else {
    cols = KeptIndexes(s, c.width);
  }
  int width = static_cast<int>(cols.size());
  if (s.evenAt4 && c.bits == 4) width = (width + 1) & ~1;
  EXPECT_EQ(h.width, width);
  EXPECT_EQ(h.height, static_cast<int>(rows.size()));
  EXPECT_EQ(h.bits, c.bits);
  EXPECT_EQ(h.dpi, s.targetDpi);
  for (size_t j = 0; j < rows.size(); ++j) {
    for (size_t i = 0; i < cols.size(); ++i) {
      for (int ch = 0; ch < (c.bits == 24 ? 3 : 1); ++ch) {
        int expected;
        if (s.mixes) {
          const int g = static_cast<int>(i) / 2 * 3;
          auto at = [&](int x) { return Level(src, c.bits, c.width, std::min(x, c.width - 1), rows[j]); };
          expected = (i % 2 == 0) ? (3 * at(g) + at(g + 1)) >> 2 : (at(g + 1) + 3 * at(g + 2)) >> 2;
        } else {
          expected = Level(src, c.bits, c.width, cols[i], rows[j], ch);
        }
        ASSERT_EQ(Level(dst, c.bits, h.width, static_cast<int>(i), static_cast<int>(j), ch), expected)
            << "column " << i << " row " << j;
      }
    }
    if (c.bits == 4 && cols.size() % 2 == 1) {
      EXPECT_EQ(Level(dst, 4, h.width, static_cast<int>(cols.size()), static_cast<int>(j)), 0);
    }
  }
}

std::vector<ScaleCase> AllScaleCases() {
  std::vector<ScaleCase> cases;
  for (size_t s = 0; s < Scalers().size(); ++s)
    for (int bits : {4, 8, 24}) {
      if (bits == 24 && !Scalers()[s].takes24) continue;
      for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{31, 17}, std::pair{32, 18}})
        cases.push_back({s, bits, w, h});
    }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllScalers, ScalerTableTest, ::testing::ValuesIn(AllScaleCases()), [](const auto& p) {
  const ScaleCase& c = p.param;
  return std::string(Scalers()[c.scaler].name) + "_" + std::to_string(c.bits) + "bit_" + std::to_string(c.width) +
         "x" + std::to_string(c.height);
});

TEST(ScalerTest, WorkedValues) {
  // 300To200 mixes 0, 100, 200 into 25, 175.
  std::vector<uint8_t> dst(64);
  ASSERT_EQ(funcImage300To200(MakeRecord(3, 1, 8, 300, {0, 100, 200}), dst), 1);
  EXPECT_EQ(PixelsOf(dst), (std::vector<uint8_t>{25, 175}));
  // A last group cut short repeats the last real pixel: 0, 100 -> 25, 100.
  ASSERT_EQ(funcImage300To200(MakeRecord(2, 1, 8, 300, {0, 100}), dst), 1);
  EXPECT_EQ(PixelsOf(dst), (std::vector<uint8_t>{25, 100}));
  // 200To120 on 5 x 5 keeps rows and columns 0, 2, 4.
  std::vector<uint8_t> px(25);
  for (int i = 0; i < 25; ++i) px[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(funcImage200To120(MakeRecord(5, 5, 8, 200, px), dst), 1);
  EXPECT_EQ(PixelsOf(dst), (std::vector<uint8_t>{0, 2, 4, 10, 12, 14, 20, 22, 24}));
}

TEST(ScalerTest, RefusalsLeaveTheDestinationAlone) {
  const std::vector<uint8_t> untouched(200, 0xEE);
  std::vector<uint8_t> dst = untouched;
  EXPECT_EQ(funcImage300To240(MakeRecord(10, 10, 8, 200), dst), -552);  // wrong resolution
  EXPECT_EQ(funcImage300To200(MakeRecord(10, 10, 24, 300), dst), -552);  // depth
  EXPECT_EQ(funcImage200To120(MakeRecord(10, 10, 1, 200), dst), -552);
  EXPECT_EQ(funcImage300To240(MakeRecord(20, 20, 8, 300), dst), -552);  // 8 + 16 * 16 does not fit
  EXPECT_EQ(funcImage300To240(std::span<const uint8_t>(MakeRecord(10, 10, 8, 300)).first(50), dst), -552);
  EXPECT_EQ(dst, untouched);
  EXPECT_EQ(funcImage200To100(MakeRecord(4, 4, 8, 300), dst), 1);
  EXPECT_EQ(HeaderOf(dst).dpi, 150);
}

class InPlaceTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(InPlaceTest, InPlaceEqualsOutOfPlace) {
  const auto [which, bits] = GetParam();
  auto scale = which == 0 ? funcImage300To240 : funcImage300To200;
  std::mt19937 rng(bits);
  std::vector<uint8_t> px(static_cast<size_t>(RecordRowBytes(37, bits)) * 23);
  for (auto& b : px) b = static_cast<uint8_t>(rng());
  auto record = MakeRecord(37, 23, bits, 300, px);
  std::vector<uint8_t> separate(record.size());
  ASSERT_EQ(scale(record, separate), 1);
  ASSERT_EQ(scale(record, record), 1);
  EXPECT_EQ(PixelsOf(record), PixelsOf(separate));
}

INSTANTIATE_TEST_SUITE_P(TwoScalers, InPlaceTest,
                         ::testing::Values(std::tuple{0, 4}, std::tuple{0, 8}, std::tuple{0, 24},
                                           std::tuple{1, 4}, std::tuple{1, 8}),
                         [](const auto& p) {
                           return std::string(std::get<0>(p.param) == 0 ? "300To240_" : "300To200_") +
                                  std::to_string(std::get<1>(p.param)) + "bit";
                         });

}  // namespace
}  // namespace zc::imaging
