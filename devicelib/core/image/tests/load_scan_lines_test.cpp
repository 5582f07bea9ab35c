// CLoadScanLines::BuildImage: raw lines become columns; line order, pixel order, colour planes and 4-bit
// nibble pairing on small literal images; refused geometry keeps the previous image.
#include <gtest/gtest.h>

#include <vector>

#include "devicelib/core/image/tests/raw_lines_fixture.h"
#include "qv6/image/scan_lines.h"

namespace qv6 {
namespace {

using Lines = RawLinesFixture<CLoadScanLines>;

TEST(LoadScanLinesBuild, EightBitLineAndPixelOrder) {
  struct Case {
    int flags;
    std::vector<std::vector<int>> rows;  // window pixels 2..3
  };
  const Case cases[] = {
      {0x002, {{1, 11, 21}, {2, 12, 22}}}, {0x402, {{21, 11, 1}, {22, 12, 2}}},
      {0x802, {{2, 12, 22}, {1, 11, 21}}}, {0xC02, {{22, 12, 2}, {21, 11, 1}}},
      {0x003, {{1, 11, 21}, {2, 12, 22}}},  // mode 3 builds like mode 2
  };
  for (const auto& c : cases) {
    Lines l(8, 4, 4, 3, c.flags);
    l.FillEightBit();
    ASSERT_EQ(l.s.BuildImage(1, 2, 3), 1) << std::hex << c.flags;
    EXPECT_EQ(l.s.GetWidth(), 3);
    EXPECT_EQ(l.s.GetHeight(), 2);
    EXPECT_EQ(l.s.GetBitCount(), 8);
    EXPECT_EQ(LoadLe32(l.s.GetDibPtr() + 24), 7874u);
    EXPECT_EQ(l.Rows(), c.rows) << std::hex << c.flags;
  }
  // (1, 1, 0) keeps every pixel of each line: the transpose of the raw lines.
  Lines l(8, 4, 4, 3);
  l.FillEightBit();
  ASSERT_EQ(l.s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(l.Rows(), (std::vector<std::vector<int>>{{0, 10, 20}, {1, 11, 21}, {2, 12, 22}, {3, 13, 23}}));
}

TEST(LoadScanLinesBuild, ColourPlanesToBlueGreenRed) {
  // Two lines of two pixels; plane c (red, green, blue) of line i holds 100 c + 10 i + q.
  auto fill = [](Lines& l) {
    for (int i = 0; i < 2; ++i)
      for (int c = 0; c < 3; ++c)
        for (int q = 0; q < 2; ++q) l.raw[i * 6 + c * 2 + q] = static_cast<uint8_t>(100 * c + 10 * i + q);
  };
  Lines plain(24, 2, 6, 2, 2);
  fill(plain);
  ASSERT_EQ(plain.s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(plain.Rows(),
            (std::vector<std::vector<int>>{{200, 100, 0, 210, 110, 10}, {201, 101, 1, 211, 111, 11}}));
  // 0x400: the planes taken in turn fill each row from its last byte backwards (red, green, blue of the
  // last column first).
  Lines reversed(24, 2, 6, 2, 0x402);
  fill(reversed);
  ASSERT_EQ(reversed.s.BuildImage(1, 1, 0), 1);
  EXPECT_EQ(reversed.Rows(),
            (std::vector<std::vector<int>>{{210, 110, 10, 200, 100, 0}, {211, 111, 11, 201, 101, 1}}));
  Lines backwards(24, 2, 6, 2, 0x802);
  fill(backwards);
  ASSERT_EQ(backwards.s.BuildImage(1, 2, 2), 1);
  EXPECT_EQ(backwards.Rows(), (std::vector<std::vector<int>>{{200, 100, 0, 210, 110, 10}}));
}

TEST(LoadScanLinesBuild, FourBitNibblePairing) {
  // Three lines of five pixels; pixel q of line i is (5 i + q) & 15, even pixels in the low nibble.
  auto fill = [](Lines& l) {
    for (int i = 0; i < 3; ++i)
      for (int q = 0; q < 5; ++q) {
        const int v = (5 * i + q) & 15;
        l.raw[i * 3 + q / 2] |= static_cast<uint8_t>(q % 2 ? v << 4 : v);
      }
  };
  struct Case {
    int flags, first, last;
    std::vector<std::vector<int>> rows;
  };
  const Case cases[] = {
      // Lines 0 and 1 share a byte column, line 2 fills the high half of the next and leaves the low 0.
      {0x002, 1, 0, {{0x05, 0xA0}, {0x16, 0xB0}, {0x27, 0xC0}, {0x38, 0xD0}, {0x49, 0xE0}}},
      {0x002, 2, 4, {{0x16, 0xB0}, {0x27, 0xC0}, {0x38, 0xD0}}},  // even first pixel: odd-pixel nibbles lead
      {0x402, 1, 2, {{0xA5, 0x00}, {0xB6, 0x10}}},
      {0x802, 1, 2, {{0x49, 0xE0}, {0x38, 0xD0}}},
  };
  for (const auto& c : cases) {
    Lines l(4, 5, 3, 3, c.flags);
    fill(l);
    ASSERT_EQ(l.s.BuildImage(1, c.first, c.last), 1);
    EXPECT_EQ(l.s.GetWidth(), 3);
    EXPECT_EQ(l.Rows(), c.rows) << std::hex << c.flags << " " << c.first;
  }
}

TEST(LoadScanLinesBuild, RefusedGeometryKeepsThePreviousImage) {
  struct Case {
    const char* what;
    int bits, pixels, bytesPerLine, lines, flags, orientation, first, last;
    size_t shrink;
  };
  const Case cases[] = {
      {"last before first", 8, 10, 10, 4, 2, 1, 10, 5, 0},
      {"first pixel 0", 8, 10, 10, 4, 2, 1, 0, 5, 0},
      {"last past the line", 8, 10, 10, 4, 2, 1, 1, 11, 0},
      {"orientation 0", 8, 10, 10, 4, 2, 0, 1, 0, 0},
      {"orientation 2", 8, 10, 10, 4, 2, 2, 1, 0, 0},
      {"correction mode 1", 8, 10, 10, 4, 1, 1, 1, 0, 0},
      {"correction mode 0", 8, 10, 10, 4, 0x400, 1, 1, 0, 0},
      {"1 bit", 1, 10, 10, 4, 2, 1, 1, 0, 0},
      {"16 bits", 16, 10, 20, 4, 2, 1, 1, 0, 0},
      {"no lines", 8, 10, 10, 0, 2, 1, 1, 0, 0},
      {"negative line count", 8, 10, 10, -3, 2, 1, 1, 0, 0},
      {"pixels past the line bytes", 8, 12, 10, 4, 2, 1, 1, 0, 0},
      {"buffer short of the lines", 8, 10, 10, 4, 2, 1, 1, 0, 1},
      {"4-bit line too short", 4, 9, 4, 4, 2, 1, 1, 0, 0},
      {"24-bit plane short", 24, 10, 29, 4, 2, 1, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Lines l(8, 4, 4, 2);
    ASSERT_EQ(l.s.BuildImage(1, 1, 0), 1);
    const uint8_t* previous = l.s.GetDibPtr();
    std::vector<uint8_t> raw(static_cast<size_t>(std::max(c.lines, 1)) * c.bytesPerLine);
    l.s.SetFormatFlags(c.flags);
    l.s.SetBitsPerPixel(c.bits);
    l.s.SetPixelsPerLine(c.pixels);
    l.s.SetBytesPerRawLine(c.bytesPerLine);
    l.s.SetNumberOfLines(c.lines);
    l.s.SetLineBuffer(raw.data(), raw.size() - c.shrink);
    EXPECT_EQ(l.s.BuildImage(c.orientation, c.first, c.last), 0);
    EXPECT_EQ(l.s.GetDibPtr(), previous);
    EXPECT_EQ(l.s.GetWidth(), 2);
  }
}

}  // namespace
}  // namespace qv6
