// Quarter turns of whole records (8 and 1 bit, non-square, several 1-bit strips) and the top-margin search.
#include "imaging/record_rotation.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "imaging/image_record.h"
#include "imaging_test_support.h"

namespace zc::imaging {
namespace {

using test::HeaderOf;
using test::MakeRecord;
using test::PixelsOf;

std::array<int, 4> Geometry(const std::vector<uint8_t>& r) {
  const RecordHeader h = HeaderOf(r);
  return {h.width, h.height, h.bits, h.dpi};
}

TEST(RecordRotation, EightBitTurnsCounterClockwise) {
  // 3 x 2:  1 2 3      turned:  3 6
  //         4 5 6               2 5
  //                             1 4
  const auto src = MakeRecord(3, 2, 8, 240, {1, 2, 3, 4, 5, 6});
  std::vector<uint8_t> dst(8 + 6, 0xEE);
  ASSERT_EQ(funcRotateImage8Left(src, dst), 1);
  EXPECT_EQ(Geometry(dst), (std::array{2, 3, 8, 240}));
  EXPECT_EQ(PixelsOf(dst), (std::vector<uint8_t>{3, 6, 2, 5, 1, 4}));
  // Wrong depth, or no room for the turned record.
  std::vector<uint8_t> small(8 + 5);
  EXPECT_EQ(funcRotateImage8Left(src, small), -552);
  EXPECT_EQ(funcRotateImage8Left(MakeRecord(16, 2, 1, 200), dst), -552);
}

bool BitAt(const std::vector<uint8_t>& r, int x, int y) {
  const RecordHeader h = HeaderOf(r);
  return (r[kRecordHeaderBytes + static_cast<size_t>(y) * ((h.width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
}

TEST(RecordRotation, OneBitCornersGoWhereACounterClockwiseTurnPutsThem) {
  // 10 x 3 with the top-left and bottom-right pixels black: turned 3 x 10, bottom-left and top-right.
  auto src = MakeRecord(10, 3, 1, 200);
  src[8] = 0x80;              // (0, 0)
  src[8 + 2 * 2 + 1] = 0x40;  // (9, 2)
  std::vector<uint8_t> dst(8 + 10, 0xEE);
  ASSERT_EQ(funcRotateImage1(src, dst), 1);
  EXPECT_EQ(Geometry(dst), (std::array{3, 10, 1, 200}));
  std::vector<uint8_t> expected(10, 0);
  expected[9] = 0x80;  // (0, 9)
  expected[0] = 0x20;  // (2, 0)
  EXPECT_EQ(PixelsOf(dst), expected);
  EXPECT_EQ(funcRotateImage1(MakeRecord(10, 3, 8, 200), dst), -552);
}

TEST(RecordRotation, OneBitMatchesPixelTurnAcrossStrips) {
  // Heights across the 128-row strips, widths not a multiple of 8.
  std::mt19937 rng(7);
  for (auto [w, h] : {std::pair{13, 150}, std::pair{203, 261}, std::pair{8, 128}, std::pair{1, 9}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    auto src = MakeRecord(w, h, 1, 200);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (rng() % 3 == 0)
          src[8 + static_cast<size_t>(y) * ((w + 7) / 8) + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    std::vector<uint8_t> dst(8 + static_cast<size_t>((h + 7) / 8) * w, 0xEE);
    ASSERT_EQ(funcRotateImage1(src, dst), 1);
    ASSERT_EQ(HeaderOf(dst).width, h);
    ASSERT_EQ(HeaderOf(dst).height, w);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) wrong += BitAt(src, x, y) != BitAt(dst, y, w - 1 - x);
    EXPECT_EQ(wrong, 0);
    // Bits past the turned width stay white.
    for (int r = 0; r < w && h % 8 != 0; ++r)
      EXPECT_EQ(dst[8 + static_cast<size_t>(r + 1) * ((h + 7) / 8) - 1] & (0xFF >> (h % 8)), 0);
  }
}

TEST(RecordRotation, TopMarginIsTheFirstRowWithTwoBrightSamples) {
  // 24 wide: samples at columns 2, 4, ..., 20. Row 3 has one bright sample, row 5 two at the threshold
  // (not above it), row 7 two above it, row 9 two far apart.
  const int w = 24, h = 12;
  std::vector<uint8_t> px(static_cast<size_t>(w) * h, 20);
  auto at = [&](int x, int y) -> uint8_t& { return px[static_cast<size_t>(y) * w + x]; };
  at(6, 3) = 200;
  at(5, 3) = at(7, 3) = 200;  // not sampled
  at(2, 5) = at(4, 5) = 100;
  at(8, 7) = at(10, 7) = 101;
  at(2, 9) = at(20, 9) = 255;
  const struct {
    int start, threshold, row;
  } cases[] = {{0, 100, 7}, {7, 100, 7}, {8, 100, 9}, {10, 100, -1}, {0, 99, 5}, {0, 250, 9}, {-3, 100, 7}};
  for (const auto& c : cases)
    EXPECT_EQ(funcFindTopMargin(px.data(), 0, h, w, 0, c.start, c.threshold), c.row)
        << "start " << c.start << " threshold " << c.threshold;
}

}  // namespace
}  // namespace zc::imaging
