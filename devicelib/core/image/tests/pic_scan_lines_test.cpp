// Second scan-line path: 6-bit black-and-white tables, nibble correction through them, and image building
// in both orientations with the line-order flag, 4-bit window alignment and the nibble swap.
#include "qv6/image/pic_scan_lines.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "devicelib/core/image/tests/raw_lines_fixture.h"
#include "qv6/image/shading_tables.h"

namespace qv6 {
namespace {

using PicLines = RawLinesFixture<CPICLoadScanLines>;

TEST(PicScanLinesTables, SixBitBlackAndWhite) {
  CPICScanLines s;
  std::vector<uint8_t> black(CPICScanLines::kMaxPixels, 40);
  std::vector<uint8_t> white(CPICScanLines::kMaxPixels, 200);
  white[1] = 0;  // acts as 255
  black[1] = 0;
  s.SetCalibrationLine(black, 0);
  s.SetCalibrationLine(white, 1);
  s.SetCalibratedPixels(2);
  s.SetScanType(3);
  ASSERT_EQ(s.BuildLookupTables(), 1);
  std::array<uint8_t, 64> expected{};
  shading::SixBitStretch(40, 200, expected);
  for (int j = 0; j < 64; ++j) EXPECT_EQ(s.GetLookupTable(0)[j], expected[j]) << j;
  EXPECT_EQ(s.GetLookupTable(0)[30], 255 * (120 - 40) / 160);
  EXPECT_EQ(s.GetLookupTable(1)[10], 40);  // black 0, white 255: 4j
  EXPECT_EQ(s.GetLookupTable(2)[30], 30);  // not calibrated: identity

  s.SetScanType(2);
  ASSERT_EQ(s.BuildLookupTables(), 1);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(s.GetLookupTable(1)[i], i);
  s.SetScanType(4);
  EXPECT_EQ(s.BuildLookupTables(), 0);
  s.SetScanType(2);
  s.SetCalibratedPixels(CPICScanLines::kMaxPixels + 1);
  EXPECT_EQ(s.BuildLookupTables(), 0);
}

TEST(PicScanLinesApply, NibblesLookedUpAsSixBitValues) {
  PicLines l(4, 4, 2, 1, 2);
  std::vector<uint8_t> black(CPICScanLines::kMaxPixels, 40);
  std::vector<uint8_t> white(CPICScanLines::kMaxPixels, 200);
  black[3] = 0;
  white[3] = 255;
  l.s.SetCalibrationLine(black, 0);
  l.s.SetCalibrationLine(white, 1);
  l.s.SetCalibratedPixels(8);
  l.s.SetScanType(3);
  ASSERT_EQ(l.s.BuildLookupTables(), 1);
  l.Load({0x5F, 0xA7});
  // Forward from table 2: byte 0 is pixels 2 (high) and 3 (low), byte 1 pixels 4 and 5.
  ASSERT_EQ(l.s.ApplyLookupTable(0, 0, 2, 0), 1);
  auto t = [&](int pixel, int nibble) { return l.s.GetLookupTable(pixel)[static_cast<size_t>(nibble) * 4]; };
  EXPECT_EQ(l.raw[0], (t(2, 5) & 0xF0) | (t(3, 15) >> 4));
  EXPECT_EQ(l.raw[1], (t(4, 10) & 0xF0) | (t(5, 7) >> 4));
  EXPECT_EQ(l.raw[0], 0x3F);  // 5 at pixel 2 -> 63, upper bits 3; 15 at pixel 3 -> 240, upper bits 15

  PicLines r(8, 3, 3, 1, 2);
  r.s.SetCalibratedPixels(3);
  r.s.SetScanType(2);
  std::vector<uint8_t> w(CPICScanLines::kMaxPixels, 128);
  r.s.SetCalibrationLine(w, 1);
  ASSERT_EQ(r.s.BuildLookupTables(), 1);
  r.Load({10, 20, 200});
  ASSERT_EQ(r.s.ApplyLookupTable(1, 0, 0, 2), 1);
  EXPECT_EQ(r.raw, (std::vector<uint8_t>{(10 * 2040) >> 10, (20 * 2040) >> 10, 255}));

  EXPECT_EQ(r.s.ApplyLookupTable(1, 0, 0, 1), 0);  // reversed walk would reach table -1
  r.s.SetFormatFlags(3);
  EXPECT_EQ(r.s.ApplyLookupTable(0, 0, 0, 0), 0);
}

TEST(PicLoadScanLinesBuild, EightBitBothOrientations) {
  struct Case {
    int orientation, flags;
    int width, height;
    std::vector<std::vector<int>> rows;
  };
  const Case cases[] = {
      {0, 0x002, 2, 3, {{22, 21}, {12, 11}, {2, 1}}},
      {0, 0x402, 2, 3, {{1, 2}, {11, 12}, {21, 22}}},
      {1, 0x002, 3, 2, {{2, 12, 22}, {1, 11, 21}}},
      {1, 0x402, 3, 2, {{21, 11, 1}, {22, 12, 2}}},
  };
  for (const auto& c : cases) {
    PicLines l(8, 4, 4, 3, c.flags);
    l.FillEightBit();
    ASSERT_EQ(l.s.BuildImage(c.orientation, 2, 3), 1);
    EXPECT_EQ(l.s.GetWidth(), c.width);
    EXPECT_EQ(l.s.GetHeight(), c.height);
    EXPECT_EQ(l.Rows(), c.rows) << c.orientation << " " << std::hex << c.flags;
  }
}

TEST(PicLoadScanLinesBuild, FourBitRowsWindowAlignmentAndSwap) {
  // One line of seven pixels numbered 1..7, the odd pixel of each pair in the high nibble.
  struct Case {
    int flags, first, last;
    std::vector<int> row;
  };
  const Case cases[] = {
      {0x402, 1, 0, {0x12, 0x34, 0x56, 0x70}},
      {0x402, 3, 6, {0x34, 0x56}},        // odd first pixel: whole bytes
      {0x402, 2, 5, {0x23, 0x45}},        // even first pixel: re-paired
      {0x402, 2, 6, {0x23, 0x45, 0x60}},  // even first, even last: last pixel high, 0 low
      {0x502, 2, 5, {0x32, 0x54}},        // 0x100 exchanges the nibbles
      {0x002, 1, 0, {0x76, 0x54, 0x32, 0x10}},
  };
  for (const auto& c : cases) {
    PicLines l(4, 7, 4, 1, c.flags);
    l.Load({0x12, 0x34, 0x56, 0x70});
    ASSERT_EQ(l.s.BuildImage(0, c.first, c.last), 1);
    EXPECT_EQ(l.Rows(), (std::vector<std::vector<int>>{c.row})) << std::hex << c.flags << " " << c.first;
  }

  // Lines as columns: two lines make one byte column.
  PicLines forward(4, 2, 1, 2, 0x402);
  forward.Load({0x12, 0x34});
  ASSERT_EQ(forward.s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(forward.Rows(), (std::vector<std::vector<int>>{{0x31}, {0x42}}));
  PicLines backward(4, 2, 1, 2, 0x002);
  backward.Load({0x12, 0x34});
  ASSERT_EQ(backward.s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(backward.Rows(), (std::vector<std::vector<int>>{{0x24}, {0x13}}));
}

TEST(PicLoadScanLinesBuild, RefusedGeometry) {
  struct Case {
    const char* what;
    int bits, pixels, bytesPerLine, flags, orientation, first, last;
  };
  const Case cases[] = {
      {"1 bit", 1, 8, 1, 2, 0, 1, 0},
      {"24 bits", 24, 4, 12, 2, 0, 1, 0},
      {"orientation 2", 8, 4, 4, 2, 2, 1, 0},
      {"correction mode 1", 8, 4, 4, 1, 0, 1, 0},
      {"window past line", 8, 4, 4, 2, 0, 2, 5},
      {"first pixel 0", 8, 4, 4, 2, 1, 0, 3},
      {"line bytes short", 8, 5, 4, 2, 0, 1, 0},
  };
  for (const auto& c : cases) {
    PicLines l(c.bits, c.pixels, c.bytesPerLine, 2, c.flags);
    EXPECT_EQ(l.s.BuildImage(c.orientation, c.first, c.last), 0) << c.what;
    EXPECT_EQ(l.s.GetDibPtr(), nullptr) << c.what;
  }
}

}  // namespace
}  // namespace qv6
