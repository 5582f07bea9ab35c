// Row lengths of the file layouts and band clipping to the caller's window.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_rows.h"

namespace zc::codec {
namespace {

TEST(ImgRowBytes, Table) {
  struct Case {
    int width, bits, padding, bytes;
  };
  const Case cases[] = {
      {10, 4, 2, 8},         {10, 1, 1, 4},  {10, 24, 0, 30}, {10, 1, 0, 2},
      {10, 1, 2, 2},         {17, 1, 2, 4},  {10, 4, 0, 5},   {10, 4, 1, 8},
      {10, 8, 0, 10},        {10, 8, 1, 12}, {11, 8, 2, 12},  {10, 24, 1, 32},
      {10, 24, 2, 32},       {10, 2, 0, 0},  {10, 8, 3, 0},   {21846, 24, 0, 0} /* beyond 16 bits */,
      {21845, 24, 0, 65535},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(funcImgRowBytes(c.width, c.bits, c.padding), c.bytes)
        << c.width << "/" << c.bits << "/" << c.padding;
  }
}

// A band of `rows` rows of 6 one-byte pixels numbered row * 10 + column.
std::vector<uint8_t> band(int firstRow, int rows) {
  std::vector<uint8_t> b(static_cast<size_t>(rows) * 6);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 6; ++c) b[r * 6 + c] = static_cast<uint8_t>((firstRow + r) * 10 + c);
  }
  return b;
}

struct ClipCase {
  int bandStart, rows, top, height, left, width;
  int expectedRows, expectedFirst;
  uint8_t expectedFirstPixel;
};

TEST(ClipBandToWindow, Cases) {
  const ClipCase cases[] = {
      {2, 4, 0, 10, 0, 6, 4, 2, 20},  // inside, full width: rows stay
      {2, 4, 0, 10, 1, 3, 4, 2, 21},  // inside, narrower window
      {0, 4, 2, 10, 0, 6, 2, 0, 20},  // starts above the window, ends inside
      {0, 4, 2, 1, 2, 2, 1, 0, 22},   // straddles a one-row window
      {0, 2, 2, 5, 0, 6, 0, 0, 0},    // wholly above
      {8, 4, 2, 5, 0, 6, 0, 0, 0},    // wholly below
      {5, 4, 2, 5, 0, 6, 2, 3, 50},   // ends below the window
  };
  for (const ClipCase& c : cases) {
    std::vector<uint8_t> b = band(c.bandStart, c.rows);
    ImgDecompDesc d{};
    funcInitDecompDesc(&d);
    d.bandBuffer = b.data();
    d.bandStride = 6;
    d.currentRow = static_cast<uint16_t>(c.bandStart);
    d.windowTop = static_cast<uint16_t>(c.top);
    d.windowHeight = static_cast<uint16_t>(c.height);
    d.windowLeft = static_cast<uint16_t>(c.left);
    d.windowWidth = static_cast<uint16_t>(c.width);
    const int n = funcClipBandToWindow(&d, c.rows);
    EXPECT_EQ(n, c.expectedRows) << c.bandStart << "/" << c.top;
    if (n > 0) {
      EXPECT_EQ(d.firstRowInWindow, c.expectedFirst);
      EXPECT_EQ(b[0], c.expectedFirstPixel);
      // Rows are packed at the window width.
      EXPECT_EQ(b[static_cast<size_t>(c.width) * (n - 1)], b[0] + 10 * (n - 1));
    }
  }
}

// The pixel size given by the caller wins over the output mode: 3-byte pixels with gray output, and
// 1-byte pixels with RGB output (no read past the band's rows).
TEST(ClipBandToWindow, GivenPixelSize) {
  std::vector<uint8_t> b(2 * 12);
  std::iota(b.begin(), b.end(), 0);
  ImgDecompDesc d{};
  funcInitDecompDesc(&d);
  d.outputColorMode = 1;
  d.bandBuffer = b.data();
  d.bandStride = 12;
  d.windowHeight = 2;
  d.windowLeft = 1;
  d.windowWidth = 2;
  ASSERT_EQ(funcClipBandToWindow(&d, 2, 3), 2);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 12),
            (std::vector<uint8_t>{3, 4, 5, 6, 7, 8, 15, 16, 17, 18, 19, 20}));

  std::vector<uint8_t> g(2 * 4);
  std::iota(g.begin(), g.end(), 0);
  d.outputColorMode = 3;
  d.bandBuffer = g.data();
  d.bandStride = 4;
  d.windowLeft = 2;
  ASSERT_EQ(funcClipBandToWindow(&d, 2, 1), 2);
  EXPECT_EQ(std::vector<uint8_t>(g.begin(), g.begin() + 4), (std::vector<uint8_t>{2, 3, 6, 7}));
}

}  // namespace
}  // namespace zc::codec
