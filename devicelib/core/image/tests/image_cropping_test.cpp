// CImageCropping: the document search on bright, dark, banded and tiny images at each searched depth, the
// run-length boundary, and both sides cropped to the larger height.
#include "qv6/image/image_cropping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "qv6/image/dib.h"

namespace qv6 {
namespace {

constexpr int kPpm200 = 200 * 10000 / 254;  // 7874: run length and row count 15
constexpr int kPpm300 = 300 * 10000 / 254;  // 11811: 23

// An 8-bit image whose rows below `documentRows` are bright and the rest dark.
std::vector<uint8_t> Banded8(int width, int height, int documentRows, int stride) {
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * height, 10);
  for (int y = 0; y < documentRows; ++y)
    std::memset(bits.data() + static_cast<size_t>(y) * stride, 200, width);
  return bits;
}

TEST(ImageCropping, EightBitTable) {
  struct Case {
    const char* what;
    int height, documentRows, ppm;
    unsigned expected;
  };
  const Case cases[] = {
      {"bright everywhere", 100, 100, kPpm200, 100},
      {"dark everywhere, odd height", 101, 0, kPpm200, 2 + 18},
      {"dark everywhere, even height", 100, 0, kPpm200, 1 + 18},
      // The walk reaches row 99 from 199 in steps of 2, then rows 99..84 are document rows.
      {"dark band above the document", 200, 100, kPpm200, 84 + 15 + 3},
      {"300 dpi band", 200, 100, kPpm300, (99 - 23) + 23 + 3},
      {"height 0", 0, 0, kPpm200, 0},
      {"height 1", 1, 1, kPpm200, 1},
      {"height 2", 2, 0, kPpm200, 2},
      {"height 3", 3, 0, kPpm200, 3},
  };
  for (const auto& c : cases) {
    const auto bits = Banded8(64, c.height, c.documentRows, 64);
    CImageCropping finder;
    EXPECT_EQ(finder.FindDocument(c.height ? bits.data() : nullptr, 64, c.height, c.ppm, c.ppm, 8, 64),
              c.expected)
        << c.what;
  }
  CImageCropping finder;
  const auto bits = Banded8(64, 10, 10, 64);
  finder.FindDocument(bits.data(), 64, 10, kPpm200, kPpm200, 8, 0);
  EXPECT_EQ(finder.GetRunLength(), 15u);
  EXPECT_EQ(finder.GetRowCount(), 15u);
  finder.FindDocument(bits.data(), 64, 10, kPpm300, kPpm300, 8, 0);
  EXPECT_EQ(finder.GetRunLength(), 23u);
}

// A bright run must be longer than the run length: 15 pixels at 200 dpi is background, 16 a document row.
TEST(ImageCropping, RunLengthBoundaryPerDepth) {
  struct Case {
    int bits, run;
    bool document;
  };
  const Case cases[] = {{8, 15, false}, {8, 16, true},  {24, 15, false},
                        {24, 16, true}, {4, 14, false}, {4, 16, true}};
  for (const auto& c : cases) {
    const int width = 40, height = 60;
    CDib dib;
    ASSERT_EQ(dib.Create(width, height, c.bits, 200), 1);
    std::memset(dib.GetBits(), 0, dib.GetImageSize());
    for (int y = 0; y < height; ++y) {
      uint8_t* row = dib.GetBits() + static_cast<size_t>(y) * dib.GetBytesPerLine();
      if (c.bits == 8) std::memset(row + 3, 65, c.run);
      if (c.bits == 24)
        for (int x = 3; x < 3 + c.run; ++x) row[3 * x + (x % 3)] = 65;  // one bright channel is enough
      if (c.bits == 4) std::memset(row + 1, 0x55, c.run / 2);
    }
    CImageCropping finder;
    const unsigned found = FindDocumentHeight(finder, dib, 200);
    EXPECT_EQ(found, c.document ? 60u : 1u + 18u) << c.bits << " bits, run " << c.run;
  }
}

TEST(ImageCropping, FourBitNibbleRule) {
  // High nibble bright, low nibble dark: the count restarts at 1 each byte and never passes 15.
  std::vector<uint8_t> bits(size_t{32} * 40, 0x50);
  CImageCropping finder;
  EXPECT_EQ(finder.FindDocument(bits.data(), 64, 40, kPpm200, kPpm200, 4, 32), 1u + 18u);
  // Both bright: 2 a byte, so 8 bytes pass 15.
  std::fill(bits.begin(), bits.end(), 0x55);
  EXPECT_EQ(finder.FindDocument(bits.data(), 64, 40, kPpm200, kPpm200, 4, 32), 40u);
  // High nibble dark resets, whatever the low one.
  std::fill(bits.begin(), bits.end(), 0x4F);
  EXPECT_EQ(finder.FindDocument(bits.data(), 64, 40, kPpm200, kPpm200, 4, 32), 1u + 18u);
  // A row of one pixel is background.
  EXPECT_EQ(finder.FindDocument(bits.data(), 1, 40, 0, 0, 4, 4), 1u + 0u + 3u);
}

// Rows narrower than the run length can never be document rows: the result is that of a dark image,
// without walking the rows (the height may come from a header rewritten by a caller).
TEST(ImageCropping, NarrowRowsEndLikeDarkImages) {
  const auto bright = Banded8(15, 101, 101, 16);
  CImageCropping finder;
  EXPECT_EQ(finder.FindDocument(bright.data(), 15, 101, kPpm200, kPpm200, 8, 16), 2u + 18u);
  EXPECT_EQ(finder.FindDocument(bright.data(), 15, 100, kPpm200, kPpm200, 8, 16), 1u + 18u);
  EXPECT_EQ(finder.FindDocument(bright.data(), 0, 2000000000u, kPpm200, kPpm200, 8, 0), 1u + 18u);
  EXPECT_EQ(finder.FindDocument(bright.data(), 1, 2000000001u, kPpm200, kPpm200, 4, 0), 2u + 18u);
  // At 16 pixels a bright row is a document row again.
  const auto wide = Banded8(16, 101, 101, 16);
  EXPECT_EQ(finder.FindDocument(wide.data(), 16, 101, kPpm200, kPpm200, 8, 16), 101u);
}

TEST(ImageCropping, UnsearchedImagesKeepTheirHeight) {
  std::vector<uint8_t> bits(size_t{16} * 50, 0);
  CImageCropping finder;
  EXPECT_EQ(finder.FindDocument(bits.data(), 100, 50, kPpm200, kPpm200, 1, 16), 50u);
  EXPECT_EQ(finder.FindDocument(bits.data(), 100, 50, kPpm200, kPpm200, 2, 16), 50u);
  EXPECT_EQ(finder.FindDocument(bits.data(), 100, 50, kPpm200, kPpm200, 16, 16), 50u);
  // A row length too short for the width is not walked.
  EXPECT_EQ(finder.FindDocument(bits.data(), 100, 50, kPpm200, kPpm200, 8, 16), 50u);
  EXPECT_EQ(finder.FindDocument(nullptr, 100, 50, kPpm200, kPpm200, 8, 0), 50u);
}

TEST(ImageCropping, BothSidesCroppedToTheLargerHeight) {
  auto side = [](CDib& dib, int documentRows) {
    ASSERT_EQ(dib.Create(64, 200, 8, 200), 1);
    const auto bits = Banded8(64, 200, documentRows, 64);
    std::memcpy(dib.GetBits(), bits.data(), bits.size());
  };
  CDib front, rear;
  side(front, 100);
  side(rear, 140);
  CImageCropping frontFinder, rearFinder;
  EXPECT_EQ(FindDocumentHeight(frontFinder, front, 200), 102u);
  EXPECT_EQ(FindDocumentHeight(rearFinder, rear, 200), 142u);
  ASSERT_EQ(CropBothSides(frontFinder, front, 200, rearFinder, rear, 200), 1);
  // Crop(0, 0, 0, height) keeps rows 0..height.
  EXPECT_EQ(front.GetHeight(), 143);
  EXPECT_EQ(rear.GetHeight(), 143);
  EXPECT_EQ(front.GetWidth(), 64);

  // A missing side is left alone; the other is cropped to its own height.
  CDib none;
  side(front, 100);
  ASSERT_EQ(CropBothSides(frontFinder, front, 200, rearFinder, none, 200), 1);
  EXPECT_EQ(front.GetHeight(), 103);
  EXPECT_EQ(none.GetDibPtr(), nullptr);
}

}  // namespace
}  // namespace qv6
