// Rendering text into the 12-row endorsement bitmap: sizes, glyph placement, blanks, bad arguments, and
// the packing checked against netpbm's reading of the same bits as a PBM image.
#include "qv6/endorsement/printer_string.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "font_fixture.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"

namespace qv6::endorsement {
namespace {

using testing::SyntheticColumn;
using testing::SyntheticFontBytes;

bool Pixel(const PrinterString& p, int row, int column) {
  const size_t stride = PrinterString::RowBytes(static_cast<size_t>(p.columns()));
  return (p.bitmap()[row * stride + column / 8] >> (7 - column % 8)) & 1;
}

// Every pixel of the bitmap against the glyph of each character; padding columns must be blank.
void ExpectRendersAs(const PrinterString& p, const std::string& shown) {
  ASSERT_EQ(p.columns(), static_cast<int>(10 * shown.size()));
  const int padded = static_cast<int>(PrinterString::RowBytes(static_cast<size_t>(p.columns())) * 8);
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < padded; ++c) {
      const bool ink = c < p.columns() && ((SyntheticColumn(shown[c / 10], c % 10) >> r) & 1);
      ASSERT_EQ(Pixel(p, r, c), ink) << "row " << r << " column " << c;
    }
  }
}

TEST(PrinterString, SizesOfTheBitmap) {
  struct Case {
    int length;
    int columns;
    size_t rowBytes;
  };
  const Case cases[] = {{0, 0, 0},         {1, 10, 4},        {3, 30, 4},
                        {4, 40, 8},        {7, 70, 12},       {814, 8140, 1020},
                        {815, 8150, 1020}, {816, 8150, 1020}, {900, 8150, 1020}};
  PrinterString p(InkJetFont::FromBytes(SyntheticFontBytes()));
  const std::string text(1000, 'x');
  for (const Case& c : cases) {
    int columns = -1;
    int rows = -1;
    EXPECT_EQ(p.RenderText(text.data(), c.length, &columns, &rows), 1);
    EXPECT_EQ(columns, c.columns) << c.length;
    EXPECT_EQ(rows, 12);
    EXPECT_EQ(PrinterString::RowBytes(static_cast<size_t>(columns)), c.rowBytes) << c.length;
  }
}

TEST(PrinterString, GlyphColumnsBecomeRowsMostSignificantBitFirst) {
  // Glyph 'A' column k has only row k: the rendering is a diagonal.
  std::vector<uint8_t> font(2048, 0);
  for (int k = 0; k < 10; ++k) {
    font[20 * ('A' - 32) + 2 * k] = static_cast<uint8_t>(1u << k);
    font[20 * ('A' - 32) + 2 * k + 1] = static_cast<uint8_t>((1u << k) >> 8);
  }
  PrinterString p(InkJetFont::FromBytes(font));
  ASSERT_EQ(p.RenderText("A", 1, nullptr, nullptr), 1);
  const uint8_t expected[12][4] = {{0x80, 0, 0, 0}, {0x40, 0, 0, 0}, {0x20, 0, 0, 0}, {0x10, 0, 0, 0},
                                   {0x08, 0, 0, 0}, {0x04, 0, 0, 0}, {0x02, 0, 0, 0}, {0x01, 0, 0, 0},
                                   {0, 0x80, 0, 0}, {0, 0x40, 0, 0}, {0, 0, 0, 0},    {0, 0, 0, 0}};
  for (int r = 0; r < 12; ++r) {
    for (int b = 0; b < 4; ++b) EXPECT_EQ(p.bitmap()[4 * r + b], expected[r][b]) << r << "/" << b;
  }
}

TEST(PrinterString, EveryPixelOfAText) {
  PrinterString p(InkJetFont::FromBytes(SyntheticFontBytes()));
  const std::string text = "Pay 1,234.56 ~ {ok}";
  p.RenderText(text.data(), static_cast<int>(text.size()), nullptr, nullptr);
  ExpectRendersAs(p, text);
  // A shorter text afterwards leaves nothing of the longer one behind.
  p.RenderText("ab", 2, nullptr, nullptr);
  ExpectRendersAs(p, "ab");
}

TEST(PrinterString, ControlAndHighCharactersPrintAsBlanksWithoutTouchingTheText) {
  PrinterString p(InkJetFont::FromBytes(SyntheticFontBytes()));
  const char text[] = {'a', '\t', 'b', static_cast<char>(200), '\0', static_cast<char>(31), '\x7f', 'c'};
  const std::string before(text, sizeof text);
  p.RenderText(text, static_cast<int>(sizeof text), nullptr, nullptr);
  ExpectRendersAs(p, std::string("a b   \x7f"
                                 "c"));
  EXPECT_EQ(std::string(text, sizeof text), before);
}

TEST(PrinterString, NoTextRendersNothing) {
  PrinterString p(InkJetFont::FromBytes(SyntheticFontBytes()));
  struct Case {
    const char* text;
    int length;
  };
  for (const Case c : {Case{nullptr, 5}, Case{"abc", -1}, Case{"abc", 0}, Case{nullptr, 0}}) {
    p.RenderText("zz", 2, nullptr, nullptr);
    int columns = -1;
    int rows = -1;
    EXPECT_EQ(p.RenderText(c.text, c.length, &columns, &rows), 1);
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(rows, 12);
    for (uint8_t b : p.bitmap()) ASSERT_EQ(b, 0);
  }
}

TEST(PrinterString, BlankFontKeepsTheColumnsButPrintsNoInk) {
  PrinterString p(InkJetFont{});
  int columns = 0;
  ASSERT_EQ(p.RenderText("HELLO", 5, &columns, nullptr), 1);
  EXPECT_EQ(columns, 50);
  for (uint8_t b : p.bitmap()) ASSERT_EQ(b, 0);
}

TEST(PrinterString, NetpbmReadsTheBitmapAsTheText) {
  if (!zc::testkit::HaveTool("pnmtoplainpnm")) GTEST_SKIP() << "netpbm is not installed";
  PrinterString p(InkJetFont::FromBytes(SyntheticFontBytes()));
  const std::string text = "Endorsed 12/10";
  int columns = 0;
  int rows = 0;
  p.RenderText(text.data(), static_cast<int>(text.size()), &columns, &rows);

  // PBM rows are whole bytes, most significant bit first, 1 = black: the bitmap's rows cut short.
  const size_t stride = PrinterString::RowBytes(static_cast<size_t>(columns));
  std::vector<uint8_t> raster;
  for (int r = 0; r < rows; ++r) {
    const uint8_t* row = p.bitmap().data() + r * stride;
    raster.insert(raster.end(), row, row + (columns + 7) / 8);
  }
  const zc::testkit::ScratchDir dir("endorse");
  ASSERT_TRUE(
      zc::testkit::WritePnm(dir / "text.pbm", zc::testkit::PnmFormat::kBitmap, columns, rows, raster));
  const zc::testkit::CommandResult plain =
      zc::testkit::RunCommand("pnmtoplainpnm " + (dir / "text.pbm") + " 2>/dev/null");
  ASSERT_EQ(plain.status, 0) << plain.output;

  std::istringstream in(plain.output);
  std::string magic;
  int width = 0;
  int height = 0;
  in >> magic >> width >> height;
  ASSERT_EQ(magic, "P1");
  ASSERT_EQ(width, columns);
  ASSERT_EQ(height, 12);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      char bit = 0;
      in >> bit;
      const bool ink = (SyntheticColumn(text[c / 10], c % 10) >> r) & 1;
      ASSERT_EQ(bit, ink ? '1' : '0') << "row " << r << " column " << c;
    }
  }
}

}  // namespace
}  // namespace qv6::endorsement
