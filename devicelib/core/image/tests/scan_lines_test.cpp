// CScanLines: which calibration feeds which table, and in-place correction of 4-, 8- and 24-bit raw lines
// with forward, reversed and half-resolution table walks; geometry that does not fit is refused untouched.
#include "qv6/image/scan_lines.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "qv6/image/shading_tables.h"

namespace qv6 {
namespace {

std::vector<uint8_t> Level(int value) {
  return std::vector<uint8_t>(CScanLines::kMaxPixels, static_cast<uint8_t>(value));
}

std::array<uint8_t, 256> Stretch(int black, int white) {
  std::array<uint8_t, 256> t{};
  shading::LinearStretch(black, white, t);
  return t;
}

bool TableIs(const CScanLines& s, int plane, int pixel, const std::array<uint8_t, 256>& expected) {
  const auto t = s.GetLookupTable(plane, pixel);
  return std::equal(t.begin(), t.end(), expected.begin());
}

TEST(ScanLinesTables, ChannelSelection) {
  CScanLines s;
  s.SetCalibratedPixels(4);
  // Channel c: black 10c, white 200 + 10c.
  for (int c = 0; c < 4; ++c) {
    s.SetCalibrationLine(Level(10 * c), 2 * c);
    s.SetCalibrationLine(Level(200 + 10 * c), 2 * c + 1);
  }

  s.SetScanType(2);
  EXPECT_EQ(s.BuildLookupTables(1, 0, 0, 0), 0);  // colour needs three channels
  s.SetScanType(3);
  ASSERT_EQ(s.BuildLookupTables(1, 0, 0, 0), 1);
  for (int plane = 0; plane < 3; ++plane)
    EXPECT_TRUE(TableIs(s, plane, 3, Stretch(10 * (plane + 1), 210 + 10 * plane))) << plane;

  // Weights (33, x, 33) take channel 0's own calibration whatever the middle weight.
  for (int middle : {0, 34, 90}) {
    ASSERT_EQ(s.BuildLookupTables(0, 33, middle, 33), 1);
    EXPECT_TRUE(TableIs(s, 0, 0, Stretch(0, 200))) << middle;
  }
  // Other weights mix channels 1..3: white (30*210 + 59*220 + 11*230) / 100, black likewise.
  ASSERT_EQ(s.BuildLookupTables(0, 30, 59, 11), 1);
  EXPECT_TRUE(
      TableIs(s, 0, 2, Stretch((30 * 10 + 59 * 20 + 11 * 30) / 100, (30 * 210 + 59 * 220 + 11 * 230) / 100)));
  // Pixels past the calibrated count keep their tables (identity from construction).
  EXPECT_EQ(s.GetLookupTable(0, 4)[77], 77);

  s.SetScanType(9);
  EXPECT_EQ(s.BuildLookupTables(0, 33, 0, 33), 0);
  s.SetScanType(2);
  s.SetCalibratedPixels(CScanLines::kMaxPixels + 1);
  EXPECT_EQ(s.BuildLookupTables(0, 0, 0, 0), 0);
  EXPECT_EQ(s.BuildLookupTables(2, 0, 0, 0), 0);
}

TEST(ScanLinesTables, WhiteOnlyGreyAndWhiteZero) {
  CScanLines s;
  s.SetCalibratedPixels(6);
  std::vector<uint8_t> white = Level(255);
  white[0] = 0;  // acts as 255
  white[1] = 128;
  white[2] = 64;  // pair (2, 3): pixel 2 low nibble, pixel 3 high nibble
  s.SetCalibrationLine(white, 1);

  s.SetScanType(2);
  ASSERT_EQ(s.BuildLookupTables(0, 0, 0, 0), 1);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(s.GetLookupTable(0, 0)[i], i);
  std::array<uint8_t, 256> gain{};
  shading::WhiteGain8(128, gain);
  EXPECT_TRUE(TableIs(s, 0, 1, gain));

  s.SetScanType(1);
  ASSERT_EQ(s.BuildLookupTables(0, 0, 0, 0), 1);
  std::array<uint8_t, 16> low{};
  std::array<uint8_t, 16> high{};
  shading::WhiteGainNibbles(64, low);
  shading::WhiteGainNibbles(255, high);
  std::array<uint8_t, 256> pair{};
  shading::PairTable(low, high, pair);
  EXPECT_TRUE(TableIs(s, 0, 2, pair));
  EXPECT_TRUE(TableIs(s, 0, 3, pair));
}

// Raw lines with calibration black = pixel index p, so that every pixel has its own table.
struct Fixture {
  CScanLines s;
  std::vector<uint8_t> lines;
  Fixture(int bits, int pixels, int bytesPerLine, int lineCount) {
    std::vector<uint8_t> black(CScanLines::kMaxPixels);
    for (int p = 0; p < CScanLines::kMaxPixels; ++p) black[p] = static_cast<uint8_t>(p % 200);
    for (unsigned kind : {0u, 2u, 4u, 6u}) s.SetCalibrationLine(black, kind);
    s.SetCalibratedPixels(CScanLines::kMaxPixels);
    s.SetScanType(3);
    s.SetBitsPerPixel(bits);
    s.SetPixelsPerLine(pixels);
    s.SetBytesPerRawLine(bytesPerLine);
    s.SetNumberOfLines(lineCount);
    lines.resize(static_cast<size_t>(bytesPerLine) * lineCount);
    for (size_t i = 0; i < lines.size(); ++i) lines[i] = static_cast<uint8_t>(200 + i % 50);
    s.SetLineBuffer(lines.data(), lines.size());
  }
  uint8_t Lut(int plane, int pixel, int v) const { return s.GetLookupTable(plane, pixel)[v]; }
};

TEST(ScanLinesApply, EightBitWalks) {
  struct Case {
    int reversed, half, start, startReversed, byteOffset;
    int firstTable, move, firstByte;
  };
  const Case cases[] = {
      {0, 0, 5, 0, 0, 5, 1, 0},     // forward from `start`
      {1, 0, 5, 30, 0, 30, -1, 0},  // reversed: from startReversed, downward
      {0, 1, 4, 0, 0, 4, 2, 0},     // half: every second table
      {1, 1, 0, 40, 6, 40, -2, 3},  // half reversed; the byte offset halves too
      {0, 0, 0, 0, 2, 0, 1, 2},
  };
  for (const auto& c : cases) {
    Fixture f(8, 10, 16, 3);
    ASSERT_EQ(f.s.BuildLookupTables(0, 33, 0, 33), 1);
    const std::vector<uint8_t> raw = f.lines;
    ASSERT_EQ(f.s.ApplyLookupTables(c.reversed, c.half, c.start, c.startReversed, c.byteOffset), 1);
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 16; ++k) {
        const size_t at = static_cast<size_t>(i) * 16 + k;
        const bool corrected = k >= c.firstByte && k < c.firstByte + 10;
        const uint8_t expected =
            corrected ? f.Lut(0, c.firstTable + c.move * (k - c.firstByte), raw[at]) : raw[at];
        ASSERT_EQ(f.lines[at], expected) << "line " << i << " byte " << k << " reversed " << c.reversed;
      }
  }
}

TEST(ScanLinesApply, FourBitNibblesAndColourPlanes) {
  {
    Fixture f(4, 6, 4, 2);
    ASSERT_EQ(f.s.BuildLookupTables(0, 33, 0, 33), 1);
    const std::vector<uint8_t> raw = f.lines;
    ASSERT_EQ(f.s.ApplyLookupTables(0, 0, 7, 0, 0), 1);
    for (int i = 0; i < 2; ++i)
      for (int k = 0; k < 4; ++k) {
        const uint8_t b = raw[i * 4 + k];
        const int current = 7 + 2 * k;
        const uint8_t expected = k < 3 ? static_cast<uint8_t>((f.Lut(0, current + 1, b & 0xF0) & 0xF0) |
                                                              (f.Lut(0, current, (b << 4) & 0xF0) >> 4))
                                       : b;  // pixels per line / 2 bytes are corrected
        EXPECT_EQ(f.lines[i * 4 + k], expected) << i << "," << k;
      }
  }
  {
    Fixture f(24, 5, 15, 2);
    ASSERT_EQ(f.s.BuildLookupTables(1, 0, 0, 0), 1);
    const std::vector<uint8_t> raw = f.lines;
    ASSERT_EQ(f.s.ApplyLookupTables(1, 0, 0, 20, 0), 1);
    for (int i = 0; i < 2; ++i)
      for (int plane = 0; plane < 3; ++plane)
        for (int k = 0; k < 5; ++k) {
          const size_t at = static_cast<size_t>(i) * 15 + static_cast<size_t>(plane) * 5 + k;
          EXPECT_EQ(f.lines[at], f.Lut(plane, 20 - k, raw[at]));
        }
  }
}

TEST(ScanLinesApply, RefusedWithoutTouchingTheLines) {
  struct Case {
    const char* what;
    int bits, pixels, bytesPerLine, flags;
    int reversed, start, startReversed, byteOffset;
    size_t shrink;
  };
  const Case cases[] = {
      {"correction mode 3", 8, 10, 10, 3, 0, 0, 0, 0, 0},
      {"correction mode 1", 8, 10, 10, 1, 0, 0, 0, 0, 0},
      {"reversed index below 0", 8, 10, 10, 2, 1, 0, 5, 0, 0},
      {"index past the tables", 8, 10, 10, 2, 0, 2995, 0, 0, 0},
      {"pixels past the line", 8, 11, 10, 2, 0, 0, 0, 0, 0},
      {"offset past the line", 8, 10, 12, 2, 0, 0, 0, 3, 0},
      {"negative offset", 8, 10, 10, 2, 0, 0, 0, -2, 0},
      {"buffer short of the lines", 8, 10, 10, 2, 0, 0, 0, 0, 1},
      {"24-bit plane short", 24, 10, 29, 2, 0, 0, 0, 0, 0},
      {"unknown depth", 16, 10, 20, 2, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(c.bits, c.pixels, c.bytesPerLine, 3);
    f.s.SetFormatFlags(c.flags);
    f.s.SetLineBuffer(f.lines.data(), f.lines.size() - c.shrink);
    ASSERT_EQ(f.s.BuildLookupTables(0, 33, 0, 33), 1);
    const std::vector<uint8_t> raw = f.lines;
    EXPECT_EQ(f.s.ApplyLookupTables(c.reversed, 0, c.start, c.startReversed, c.byteOffset), 0);
    EXPECT_EQ(f.lines, raw);
  }
}

}  // namespace
}  // namespace qv6
