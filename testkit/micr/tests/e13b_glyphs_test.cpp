// E13B glyph table: widths on the 0.013-inch grid, edge steps that match the
// magnetic reader's lobe templates, and rendering by area coverage.
#include "testkit/micr/e13b_glyphs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>

namespace micrkit {
namespace {

// Lobe heights the magnetic reader expects per segment (right to left), an independent copy.
constexpr int kLobeTemplates[14][8] = {
    {100, -87, 0, 0, 0, 0, 87, -100},      {80, 0, 100, -68, -112, 0, 0, 0},
    {105, -55, 0, 55, -105, 0, 0, 0},      {75, 75, -105, 0, 0, -45, 0, 0},
    {60, 0, -45, 0, 90, 0, -105, 0},       {105, -55, 0, 0, 55, -105, 0, 0},
    {40, -20, 22, -14, 0, 58, -86, 0},     {80, -48, 84, -100, 40, -56, 0, 0},
    {85, 85, -105, 0, 0, 105, -85, -85},   {100, -35, -50, 0, 0, 45, -60, 0},
    {100, 0, 0, -100, 0, 105, 0, -105},    {70, 0, -70, 75, -75, 70, 0, -70},
    {62, 0, 0, -62, 100, -100, 100, -100}, {75, -75, 75, 0, -75, 75, 0, -75},
};
constexpr char kSymbols[] = "0123456789:;<=";
constexpr int kWidths[] = {7, 4, 4, 5, 6, 5, 6, 5, 7, 6, 7, 7, 7, 7};

TEST(MicrKitE13bGlyphs, WidthsAndBounds) {
  ASSERT_EQ(E13bGlyphs().size(), 14u);
  for (int c = 0; c < 14; ++c) {
    const E13bGlyph* g = FindE13bGlyph(kSymbols[c]);
    ASSERT_NE(g, nullptr) << kSymbols[c];
    EXPECT_EQ(g->width, kWidths[c]) << kSymbols[c];
    // Strokes stay inside the glyph box and never overlap, so column ink is their area.
    std::vector<std::vector<int>> cover(static_cast<std::size_t>(g->width),
                                        std::vector<int>(kE13bHeightTenths));
    for (const GlyphRect& r : g->rects) {
      ASSERT_TRUE(r.x0 >= 0 && r.x0 < r.x1 && r.x1 <= g->width && r.y0 >= 0 && r.y0 < r.y1 &&
                  r.y1 <= kE13bHeightTenths)
          << kSymbols[c];
      for (int x = r.x0; x < r.x1; ++x) {
        for (int y = r.y0; y < r.y1; ++y)
          EXPECT_EQ(++cover[x][y], 1) << kSymbols[c] << " at " << x << "," << y;
      }
    }
    EXPECT_GT(ColumnInk(*g).front(), 0);
    EXPECT_GT(ColumnInk(*g).back(), 0);
  }
  EXPECT_EQ(FindE13bGlyph('A'), nullptr);
}

TEST(MicrKitE13bGlyphs, EdgeStepsFollowTheMagneticTemplates) {
  for (int c = 0; c < 14; ++c) {
    const std::vector<int> ink = ColumnInk(*FindE13bGlyph(kSymbols[c]));
    // Steps met reading right to left: ink of the column entered less that of the column left.
    std::vector<double> steps(8, 0.0);
    const int w = static_cast<int>(ink.size());
    for (int i = 0; i <= w && i < 8; ++i) {
      const int entered = i < w ? ink[static_cast<std::size_t>(w - 1 - i)] : 0;
      const int left = i > 0 ? ink[static_cast<std::size_t>(w - i)] : 0;
      steps[static_cast<std::size_t>(i)] = entered - left;
    }
    double dot = 0, ss = 0, tt = 0;
    for (int i = 0; i < 8; ++i) {
      dot += steps[i] * kLobeTemplates[c][i];
      ss += steps[i] * steps[i];
      tt += kLobeTemplates[c][i] * kLobeTemplates[c][i];
    }
    EXPECT_GT(dot * dot / (ss * tt), 0.97) << kSymbols[c];
    EXPECT_GT(steps[0], 0) << kSymbols[c];  // the first edge met is where ink begins
  }
}

TEST(MicrKitE13bGlyphs, RenderedCoverageMatchesTheStrokeArea) {
  for (const int dpi : {200, 240, 300}) {
    for (const E13bGlyph& g : E13bGlyphs()) {
      const CoverageImage image = RenderE13bGlyph(g, dpi);
      const double unit = kE13bUnitInches * dpi;
      EXPECT_EQ(image.width, static_cast<int>(std::ceil(g.width * unit)));
      EXPECT_EQ(image.height, static_cast<int>(std::ceil(9 * unit)));
      const std::vector<int> ink = ColumnInk(g);
      const double area = std::accumulate(ink.begin(), ink.end(), 0.0) / 10.0 * unit * unit;
      double covered = 0;
      for (const uint8_t p : image.pixels) covered += p / 255.0;
      EXPECT_NEAR(covered, area, image.pixels.size() * 0.002 + 1) << g.symbol << " at " << dpi;
    }
  }
}

}  // namespace
}  // namespace micrkit
