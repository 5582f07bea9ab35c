#include <gtest/gtest.h>

#include <vector>

#include "platform/byte_order.h"
#include "ui/canvas.h"

namespace {

using ui::Canvas;
using ui::Colour;
using ui::Surface;

// A packed DIB with a 40-byte header, `palette` entries and rows given top row first (stored bottom-up).
std::vector<uint8_t> PackedDib(int width, int bits, const std::vector<Colour>& palette,
                               const std::vector<std::vector<uint8_t>>& rowsTopFirst) {
  const int height = static_cast<int>(rowsTopFirst.size());
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  std::vector<uint8_t> dib(40 + palette.size() * 4 + stride * height);
  using namespace plat::bytes;
  PutLe32(&dib[0], 40);
  PutLe32(&dib[4], static_cast<uint32_t>(width));
  PutLe32(&dib[8], static_cast<uint32_t>(height));
  PutLe16(&dib[12], 1);
  PutLe16(&dib[14], static_cast<uint16_t>(bits));
  PutLe32(&dib[32], static_cast<uint32_t>(palette.size()));  // colours used
  for (size_t i = 0; i < palette.size(); ++i) {
    uint8_t* e = &dib[40 + i * 4];
    e[0] = palette[i] & 0xFF, e[1] = (palette[i] >> 8) & 0xFF, e[2] = (palette[i] >> 16) & 0xFF;
  }
  uint8_t* pixels = &dib[40 + palette.size() * 4];
  for (int r = 0; r < height; ++r) {
    const auto& src = rowsTopFirst[r];
    std::copy(src.begin(), src.end(), pixels + (height - 1 - r) * stride);
  }
  return dib;
}

struct DibCase {
  const char* name;
  int bits;
  std::vector<Colour> palette;
  std::vector<std::vector<uint8_t>> rows;  // 2 x 2 image, top row first
};
void PrintTo(const DibCase& c, std::ostream* os) {
  *os << c.name;
}

class DibToDevice : public testing::TestWithParam<DibCase> {};

// Every depth draws the same picture: red, green on the top row; blue, white below.
TEST_P(DibToDevice, DrawsTopRowFromTheLastStoredRow) {
  const auto& c = GetParam();
  const auto dib = PackedDib(2, c.bits, c.palette, c.rows);
  Surface s(4, 4);
  Canvas dc(s);
  EXPECT_EQ(dc.SetDIBitsToDevice(1, 1, 2, 2, 0, 0, dib.data(), dib.size()), 2);
  EXPECT_EQ(s.Pixel(1, 1), 0xFF0000u);
  EXPECT_EQ(s.Pixel(2, 1), 0x00FF00u);
  EXPECT_EQ(s.Pixel(1, 2), 0x0000FFu);
  EXPECT_EQ(s.Pixel(2, 2), 0xFFFFFFu);
  EXPECT_EQ(s.Pixel(0, 0), ui::kWhite);
  // Every cut of the block is refused before any pixel is read.
  for (size_t cut = 0; cut < dib.size(); cut += 3) EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 2, 2, 0, 0, dib.data(), cut), 0);
}

const std::vector<Colour> kPal = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
INSTANTIATE_TEST_SUITE_P(
    Depths, DibToDevice,
    testing::Values(DibCase{"Bits4", 4, kPal, {{0x01}, {0x23}}}, DibCase{"Bits8", 8, kPal, {{0, 1}, {2, 3}}},
                    DibCase{"Bits24", 24, {}, {{0, 0, 0xFF, 0, 0xFF, 0}, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF}}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(DibToDevice, OneBitUsesItsColourTableAndSourceOriginCountsFromTheBottom) {
  // 8 x 3, rows top first: 0x80, 0x40, 0x20 (bit set = entry 1 = black here).
  const auto dib = PackedDib(8, 1, {0xFFFFFF, 0x000000}, {{0x80}, {0x40}, {0x20}});
  Surface s(8, 2);
  Canvas dc(s);
  // Source origin (0, 1) from the bottom: the two top rows.
  EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 8, 2, 0, 1, dib.data(), dib.size()), 2);
  EXPECT_EQ(s.Pixel(0, 0), ui::kBlack);
  EXPECT_EQ(s.Pixel(1, 1), ui::kBlack);
  EXPECT_EQ(s.Pixel(1, 0), ui::kWhite);
  EXPECT_EQ(s.Pixel(2, 1), ui::kWhite);
}

TEST(DibToDevice, RefusesOtherDepthsAndCompression) {
  auto dib = PackedDib(2, 8, kPal, {{0, 1}});
  Surface s(2, 1);
  Canvas dc(s);
  plat::bytes::PutLe16(&dib[14], 16);
  EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 2, 1, 0, 0, dib.data(), dib.size()), 0);
  plat::bytes::PutLe16(&dib[14], 8);
  plat::bytes::PutLe32(&dib[16], 1);
  EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 2, 1, 0, 0, dib.data(), dib.size()), 0);
}

TEST(Canvas, MonoBlitDrawsZeroBitsBlack) {
  Surface s(8, 1);
  s.Fill(0x123456);
  Canvas dc(s);
  const uint8_t bits[] = {0xF0};
  dc.BlitMono(bits, 8, 1, 1, 0, 0);
  EXPECT_EQ(s.Pixel(0, 0), ui::kWhite);
  EXPECT_EQ(s.Pixel(4, 0), ui::kBlack);
}

TEST(Canvas, XorOutlineTwiceRestoresThePicture) {
  Surface s(10, 10);
  Canvas dc(s);
  dc.FillRect({2, 2, 6, 6}, 0x336699);
  const Surface before = s;
  dc.XorOutline({1, 1, 8, 8});
  EXPECT_EQ(s.Pixel(1, 1), 0x000000u);
  EXPECT_EQ(s.Pixel(4, 4), 0x336699u);
  dc.XorOutline({1, 1, 8, 8});
  EXPECT_EQ(s, before);
}

TEST(Canvas, DrawingStaysInsideTheClipAndFollowsTheOrigin) {
  Surface s(10, 10);
  Canvas dc(s, {}, {3, 3}, {3, 3, 6, 6});
  dc.FillRect({-5, -5, 50, 50}, ui::kBlack);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(s.Pixel(x, y), (x >= 3 && x < 6 && y >= 3 && y < 6) ? 0u : ui::kWhite);
}

TEST(Canvas, TextInksInsideItsMeasuredCell) {
  text::ScopedTextBackend bitmap(text::TextBackend::Bitmap);
  ui::ResetSystemFont();
  Surface s(60, 20);
  Canvas dc(s);
  dc.TextOut(5, 5, "Hi");
  const auto size = dc.Font().Measure("Hi");
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x)
      if (s.Pixel(x, y) == ui::kBlack) {
        ++ink;
        EXPECT_TRUE(x >= 5 && x < 5 + size.width && y >= 5 && y < 5 + size.height) << x << "," << y;
      }
  EXPECT_GT(ink, 10);
  ui::ResetSystemFont();
}

struct DisplayCase {
  const char* name;
  ui::DisplayInfo::Colours colours;
  int sizePalette, numColors, colourCount;
};
void PrintTo(const DisplayCase& c, std::ostream* os) {
  *os << c.name;
}
class DisplayColours : public testing::TestWithParam<DisplayCase> {};
TEST_P(DisplayColours, ReportsPaletteSizeThenColourCount) {
  const auto& c = GetParam();
  ui::DisplayInfo d;
  d.colours = c.colours;
  EXPECT_EQ(d.DeviceCaps(ui::SIZEPALETTE), c.sizePalette);
  EXPECT_EQ(d.DeviceCaps(ui::NUMCOLORS), c.numColors);
  EXPECT_EQ(d.ColourCount(), c.colourCount);
  EXPECT_EQ(d.DeviceCaps(ui::LOGPIXELSX), 96);
}
INSTANTIATE_TEST_SUITE_P(Forms, DisplayColours,
                         testing::Values(DisplayCase{"TrueColour", ui::DisplayInfo::Colours::TrueColour, 0, -1, 4096},
                                         DisplayCase{"Palette256", ui::DisplayInfo::Colours::Palette256, 256, 20, 256}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(Canvas, PaletteScreenShowsOnlyTheSelectedColours) {
  Surface s(2, 1);
  ui::DisplayInfo d;
  d.colours = ui::DisplayInfo::Colours::Palette256;
  Canvas dc(s, d);
  dc.SelectPalette({0x000000, 0x808080, 0xFFFFFF});
  dc.FillRect({0, 0, 1, 1}, 0x707070);
  EXPECT_EQ(s.Pixel(0, 0), 0x808080u);
  Canvas trueColour(s);
  trueColour.SelectPalette({0x000000});
  trueColour.FillRect({1, 0, 2, 1}, 0x707070);
  EXPECT_EQ(s.Pixel(1, 0), 0x707070u);
}

TEST(Surface, OneBitSurfaceStoresLightAsWhite) {
  Surface s(9, 2, Surface::Format::Mono1);
  EXPECT_EQ(s.MonoStride(), 2u);
  EXPECT_EQ(s.Pixel(8, 1), ui::kWhite);
  s.SetPixel(8, 1, 0x202020);
  s.SetPixel(0, 0, 0xC0C0C0);
  EXPECT_EQ(s.Pixel(8, 1), ui::kBlack);
  EXPECT_EQ(s.Pixel(0, 0), ui::kWhite);
  EXPECT_EQ(s.RowMono(1)[1], 0x7F);
}

}  // namespace
