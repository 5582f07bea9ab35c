// CDib: creation, header readers (including the 12-byte core form and caller-written fields), window crop
// and the 8-bit to 4-bit reduction.
#include "qv6/image/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace qv6 {
namespace {

// Fills an 8-bit image with value(x, y) in storage order.
template <class F>
void Fill8(CDib& dib, F value) {
  for (int y = 0; y < dib.GetHeight(); ++y)
    for (int x = 0; x < dib.GetWidth(); ++x)
      dib.GetBits()[y * dib.GetBytesPerLine() + x] = static_cast<uint8_t>(value(x, y));
}

uint8_t Px8(const CDib& dib, int x, int y) {
  return dib.GetBits()[y * dib.GetBytesPerLine() + x];
}

TEST(DibCreate, HeaderPaletteAndResolution) {
  struct Case {
    int width, height, bits, dpi;
    int bytesPerLine, colors;
    int32_t ppm;
  };
  const Case cases[] = {
      {10, 3, 1, 100, 4, 2, 3937},    {33, 2, 1, 200, 8, 2, 7874},  {9, 4, 4, 300, 8, 16, 11811},
      {10, 5, 8, 200, 12, 256, 7874}, {7, 2, 24, 200, 24, 0, 7874}, {0, 0, 8, 200, 0, 256, 7874},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    CDib dib;
    ASSERT_EQ(dib.Create(c.width, c.height, c.bits, c.dpi), 1);
    const BitmapInfoHeader h = ReadInfoHeader(dib.GetDibPtr());
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, c.width);
    EXPECT_EQ(h.height, c.height);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, c.bits);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.sizeImage, static_cast<uint32_t>(c.bytesPerLine * c.height));
    EXPECT_EQ(h.xPelsPerMeter, c.ppm);
    EXPECT_EQ(h.yPelsPerMeter, c.ppm);
    EXPECT_EQ(h.clrUsed, 0u);
    EXPECT_EQ(dib.GetBytesPerLine(), c.bytesPerLine);
    EXPECT_EQ(dib.GetNumColors(), c.colors);
    EXPECT_EQ(dib.GetPaletteSize(), 4 * c.colors);
    EXPECT_EQ(dib.GetImageSize(), static_cast<uint32_t>(c.bytesPerLine * c.height));
    EXPECT_EQ(dib.GetDibSize(), static_cast<uint32_t>(40 + 4 * c.colors + c.bytesPerLine * c.height));
    EXPECT_EQ(dib.GetBits(), dib.GetDibPtr() + 40 + size_t{4} * c.colors);
    EXPECT_EQ(DpiFromPixelsPerMetre(h.xPelsPerMeter), c.dpi);
  }
}

TEST(DibCreate, GreyPaletteAndZeroedPadding) {
  const struct { int bits, colors, step; } palettes[] = {{1, 2, 255}, {4, 16, 17}, {8, 256, 1}};
  for (const auto& p : palettes) {
    CDib dib;
    ASSERT_EQ(dib.Create(5, 3, p.bits, 200), 1);
    const uint8_t* pal = dib.GetDibPtr() + 40;
    for (int i = 0; i < p.colors; ++i) {
      const uint8_t level = static_cast<uint8_t>(i * p.step);
      EXPECT_EQ(pal[size_t{4} * i], level);
      EXPECT_EQ(pal[4 * i + 1], level);
      EXPECT_EQ(pal[4 * i + 2], level);
      EXPECT_EQ(pal[4 * i + 3], 0);
    }
  }
  CDib dib;
  ASSERT_EQ(dib.Create(5, 3, 8, 200), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 5; x < 8; ++x) EXPECT_EQ(dib.GetBits()[y * 8 + x], 0) << x << "," << y;
}

TEST(DibCreate, RefusedGeometryLeavesNoImage) {
  const struct {
    int width, height, bits;
  } cases[] = {{-1, 5, 8}, {5, -1, 8}, {5, 5, 16}, {5, 5, 0}, {1 << 30, 1 << 30, 24}, {100000, 100000, 24}};
  for (const auto& c : cases) {
    CDib dib;
    ASSERT_EQ(dib.Create(4, 4, 8, 200), 1);
    EXPECT_EQ(dib.Create(c.width, c.height, c.bits, 200), 0);
    EXPECT_EQ(dib.GetDibPtr(), nullptr);
    EXPECT_EQ(dib.GetWidth(), 0);
    EXPECT_EQ(dib.GetBits(), nullptr);
    EXPECT_EQ(dib.Crop(0, 0, 0, 0), 0);
    EXPECT_EQ(dib.HalveSize(), 0);
  }
}

TEST(DibHeaderReaders, CoreHeaderAndCallerWrittenFields) {
  CDib dib;
  ASSERT_EQ(dib.Create(8, 4, 8, 200), 1);
  uint8_t* h = dib.GetDibPtr();
  // Rewritten in place as a 12-byte core header of a 4-bit 6 x 3 image.
  StoreLe32(h, 12);
  StoreLe16(h + 4, 6);
  StoreLe16(h + 6, 3);
  StoreLe16(h + 8, 1);
  StoreLe16(h + 10, 4);
  EXPECT_EQ(dib.GetWidth(), 6);
  EXPECT_EQ(dib.GetHeight(), 3);
  EXPECT_EQ(dib.GetBitCount(), 4);
  EXPECT_EQ(dib.GetNumColors(), 16);
  EXPECT_EQ(dib.GetPaletteSize(), 48);
  EXPECT_EQ(dib.GetBits(), h + 12 + 48);
  EXPECT_EQ(dib.GetDibSize(), 12u + 48u + 4u * 3u);

  // Back to the 40-byte form with an oversized colours-used field: capped, and pixels beyond the block
  // are never handed out.
  ASSERT_EQ(dib.Create(8, 4, 24, 200), 1);
  h = dib.GetDibPtr();
  StoreLe32(h + 32, 100000);
  EXPECT_EQ(dib.GetNumColors(), 256);
  EXPECT_EQ(dib.GetBits(), nullptr);
  EXPECT_EQ(dib.ThirdSize(), 0);
  EXPECT_LE(dib.GetDibSize(), 40u + 24u * 4u);

  // Compression 1 or 2 reports the stored image size (within the block).
  ASSERT_EQ(dib.Create(8, 4, 8, 200), 1);
  h = dib.GetDibPtr();
  StoreLe32(h + 16, 1);
  StoreLe32(h + 20, 10);
  EXPECT_EQ(dib.GetDibSize(), 40u + 1024u + 10u);
  // A header size that points past the block: no pixels.
  StoreLe32(h, 0x7FFFFFFF);
  EXPECT_EQ(dib.GetBits(), nullptr);
}

TEST(DibCrop, BoundsTable) {
  struct Case {
    int x0, x1, y0, y1;
    int width, height;   // expected size; 0 x 0 means refused
    int firstX, firstY;  // source pixel of the new (0, 0)
  };
  const Case cases[] = {
      {0, 0, 0, 0, 10, 6, 0, 0},     // an end bound of 0 means the last one
      {0, 0, 0, -2, 10, 5, 0, 0},    // drops the last row
      {0, 0, 0, 6, 10, 6, 0, 0},     // end at the height keeps all rows
      {0, 0, 0, 99, 10, 6, 0, 0},    // and beyond it
      {2, 5, 1, 3, 4, 3, 2, 1},      // inner window
      {-3, 0, -2, 0, 3, 2, 7, 4},    // negative starts count from the end
      {-20, -1, 0, 0, 10, 6, 0, 0},  // a start before the image is 0; end -1 is the last
      {15, 0, 9, 0, 1, 1, 9, 5},     // starts beyond the size are the last index
      {0, 0, 4, 2, 0, 0, 0, 0},      // y1 < y0
      {6, 3, 0, 0, 0, 0, 0, 0},      // x1 < x0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << "," << c.x1 << "," << c.y0 << "," << c.y1);
    CDib dib;
    ASSERT_EQ(dib.Create(10, 6, 8, 200), 1);
    Fill8(dib, [](int x, int y) { return 16 * y + x; });
    const uint8_t* before = dib.GetDibPtr();
    const int ok = dib.Crop(c.x0, c.x1, c.y0, c.y1);
    if (c.width == 0) {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(dib.GetDibPtr(), before);
      EXPECT_EQ(dib.GetWidth(), 10);
      continue;
    }
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(dib.GetWidth(), c.width);
    EXPECT_EQ(dib.GetHeight(), c.height);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) EXPECT_EQ(Px8(dib, x, y), 16 * (c.firstY + y) + c.firstX + x);
  }
}

TEST(DibCrop, SubByteStartsAndKeptResolution) {
  CDib dib;
  ASSERT_EQ(dib.Create(40, 2, 1, 200), 1);
  for (int y = 0; y < 2; ++y)
    for (int b = 0; b < 8; ++b) dib.GetBits()[y * 8 + b] = static_cast<uint8_t>(0x10 * y + b);
  StoreLe32(dib.GetDibPtr() + 24, 5000);  // a resolution that no dpi gives exactly
  ASSERT_EQ(dib.Crop(13, 30, 0, 0), 1);
  EXPECT_EQ(dib.GetWidth(), 30 - 8 + 1);  // start 13 taken as 8
  EXPECT_EQ(dib.GetBits()[0], 0x01);
  EXPECT_EQ(dib.GetBits()[4], 0x11);
  EXPECT_EQ(static_cast<int32_t>(LoadLe32(dib.GetDibPtr() + 24)), 5000);

  ASSERT_EQ(dib.Create(7, 1, 4, 200), 1);
  dib.GetBits()[0] = 0x12;
  dib.GetBits()[1] = 0x34;
  ASSERT_EQ(dib.Crop(3, 0, 0, 0), 1);  // start 3 taken as 2
  EXPECT_EQ(dib.GetWidth(), 5);
  EXPECT_EQ(dib.GetBits()[0], 0x34);
}

// A window at the right edge of the last stored row needs more bytes than remain in the row; the rest is
// zero instead of bytes read past the block.
TEST(DibCrop, RightEdgeWindowStaysInsideTheBlock) {
  CDib dib;
  ASSERT_EQ(dib.Create(10, 3, 8, 200), 1);
  Fill8(dib, [](int x, int y) { return 100 + 10 * y + x; });
  ASSERT_EQ(dib.Crop(9, 9, 0, 0), 1);
  ASSERT_EQ(dib.GetWidth(), 1);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(Px8(dib, 0, y), 109 + 10 * y);
    EXPECT_EQ(dib.GetBits()[y * 4 + 3], 0);  // beyond the old row
  }
}

// With no column or no row every bound normalises to -1; the crop must refuse instead of reading before
// the row.
TEST(DibCrop, EmptyImageIsRefused) {
  for (const auto& [width, height] : {std::pair{0, 5}, std::pair{5, 0}}) {
    CDib dib;
    ASSERT_EQ(dib.Create(width, height, 24, 200), 1);
    EXPECT_EQ(dib.Crop(20000, 0, 0, 2000), 0);
    EXPECT_EQ(dib.Crop(0, 0, 0, 0), 0);
    EXPECT_EQ(dib.GetWidth(), width);
  }
}

TEST(DibConvertTo4Bit, PairsNeighboursAndOddWidth) {
  CDib dib;
  ASSERT_EQ(dib.Create(3, 2, 8, 300), 1);
  const uint8_t rows[2][3] = {{0x12, 0x34, 0x56}, {0xFF, 0x0F, 0xA0}};
  for (int y = 0; y < 2; ++y) std::memcpy(dib.GetBits() + size_t{4} * y, rows[y], 3);
  ASSERT_EQ(dib.ConvertTo4Bit(), 1);
  EXPECT_EQ(dib.GetBitCount(), 4);
  EXPECT_EQ(dib.GetWidth(), 3);
  EXPECT_EQ(dib.GetNumColors(), 16);
  EXPECT_EQ(LoadLe32(dib.GetDibPtr() + 24), 11811u);
  EXPECT_EQ(dib.GetBits()[0], 0x13);
  EXPECT_EQ(dib.GetBits()[1], 0x50);
  EXPECT_EQ(dib.GetBits()[4], 0xF0);
  EXPECT_EQ(dib.GetBits()[5], 0xA0);
  EXPECT_EQ(dib.ConvertTo4Bit(), 0);  // already 4 bits

  ASSERT_EQ(dib.Create(3, 2, 24, 300), 1);
  EXPECT_EQ(dib.ConvertTo4Bit(), 0);
  CDib empty;
  EXPECT_EQ(empty.ConvertTo4Bit(), 0);
}

}  // namespace
}  // namespace qv6
