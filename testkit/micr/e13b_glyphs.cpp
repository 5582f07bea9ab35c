// The fourteen E13B glyphs and their rendering by area coverage.
#include "testkit/micr/e13b_glyphs.h"

#include <algorithm>
#include <cmath>

namespace micrkit {

namespace {

// Strokes laid out after the glyphs' usual skeletons (verticals, bars, squares),
// with heights chosen so that the ink steps between columns, read right to left,
// are in the ratios of the magnetic lobe templates: each step gives a lobe of
// that height. The shapes are fitted to those templates, not to real print.
constexpr GlyphRect k0[] = {{0, 1, 0, 90}, {6, 7, 0, 90}, {1, 6, 0, 6}, {1, 6, 84, 90}};
constexpr GlyphRect k1[] = {{1, 2, 0, 90}, {0, 1, 0, 16}, {0, 1, 50, 90}, {2, 4, 50, 90}};
constexpr GlyphRect k2[] = {{0, 4, 0, 9}, {3, 4, 9, 40}, {0, 4, 40, 50}, {0, 1, 50, 81}, {0, 4, 81, 90}};
constexpr GlyphRect k3[] = {{0, 3, 0, 9},  {0, 3, 40, 49}, {0, 3, 81, 90},
                            {3, 4, 0, 90}, {4, 5, 9, 31},  {4, 5, 58, 81}};
// The '4': a wide left stroke from the top that stops short of the foot, a crossbar at its bottom and a
// wide right stroke from the middle down to the foot; the optical reader wants white under the left stroke.
// The column ink keeps the lobe ratios (left 105, crossbar 15, right 60).
constexpr GlyphRect k4[] = {{0, 2, 0, 70}, {2, 4, 60, 70}, {4, 6, 50, 90}};
constexpr GlyphRect k5[] = {{0, 5, 0, 9}, {0, 1, 9, 40}, {0, 5, 40, 50}, {4, 5, 50, 81}, {0, 5, 81, 90}};
// The '6' keeps its column ink with its middle bar lowered onto a closed lower loop.
constexpr GlyphRect k6[] = {{0, 1, 0, 90},  {1, 4, 0, 8},   {3, 4, 8, 23},
                            {1, 6, 48, 58}, {1, 6, 79, 90}, {5, 6, 58, 79}};
// The '7' keeps its column ink but runs its right side into a short diagonal to the stem, with the ink
// that does not fit that outline in two small blocks at the foot.
constexpr GlyphRect k7[] = {{0, 5, 0, 12},  {0, 1, 12, 34}, {0, 1, 81, 90}, {2, 3, 12, 90},
                            {3, 4, 31, 44}, {4, 5, 12, 38}, {4, 5, 66, 90}};
// The '8' keeps its column ink with its outer strokes moved to the lower loop, which is the wider one.
constexpr GlyphRect k8[] = {{1, 2, 0, 90},  {5, 6, 0, 90},  {2, 5, 0, 11}, {2, 5, 40, 51},
                            {2, 5, 78, 90}, {0, 1, 45, 90}, {6, 7, 45, 90}};
// The '9' keeps its column ink with the left stub under its loop moved to a dot at the foot.
constexpr GlyphRect k9[] = {{5, 6, 0, 90}, {0, 5, 0, 7},   {0, 5, 40, 47},
                            {0, 1, 7, 40}, {0, 1, 83, 90}, {4, 5, 47, 90}};
// The transit symbol: a bar clear of the top and bottom, and two squares at the corners of its right side
// with a wide gap between them (which keeps blur from joining them into one tall stroke).
constexpr GlyphRect kTransit[] = {{0, 2, 12, 70}, {4, 7, 0, 22}, {4, 7, 58, 90}};
// The amount symbol's three blocks step down from right to left (a lower left block, a middle bar, an
// upper right block), each shorter than a full column.
constexpr GlyphRect kAmount[] = {{0, 2, 56, 90}, {3, 4, 18, 74}, {5, 7, 0, 44}};
// The on-us symbol: two bars and a square at the top right of them, all clear of the glyph's top and foot
// (the optical reader wants white above and below the bars); the square is 0.62 of a bar's ink, as its lobes.
constexpr GlyphRect kOnUs[] = {{0, 1, 14, 76}, {2, 3, 14, 76}, {4, 7, 8, 47}};
// The dash: three low bars about 12 rows high at 200 dpi, centred on the glyph's middle.
constexpr GlyphRect kDash[] = {{0, 2, 22, 68}, {3, 5, 22, 68}, {6, 7, 22, 68}};

constexpr E13bGlyph kGlyphs[] = {
    {'0', 7, k0},       {'1', 4, k1},      {'2', 4, k2},    {'3', 5, k3},    {'4', 6, k4},
    {'5', 5, k5},       {'6', 6, k6},      {'7', 5, k7},    {'8', 7, k8},    {'9', 6, k9},
    {':', 7, kTransit}, {';', 7, kAmount}, {'<', 7, kOnUs}, {'=', 7, kDash},
};

}  // namespace

std::span<const E13bGlyph> E13bGlyphs() {
  return kGlyphs;
}

const E13bGlyph* FindE13bGlyph(char symbol) {
  for (const E13bGlyph& g : kGlyphs) {
    if (g.symbol == symbol) return &g;
  }
  return nullptr;
}

std::vector<int> ColumnInk(const E13bGlyph& glyph) {
  std::vector<int> ink(static_cast<std::size_t>(glyph.width), 0);
  for (const GlyphRect& r : glyph.rects) {
    for (int x = r.x0; x < r.x1; ++x) ink[static_cast<std::size_t>(x)] += r.y1 - r.y0;
  }
  return ink;
}

CoverageImage RenderE13bGlyph(const E13bGlyph& glyph, int dpi) {
  const double unitPixels = kE13bUnitInches * dpi;
  CoverageImage image;
  image.width = static_cast<int>(std::ceil(glyph.width * unitPixels));
  image.height = static_cast<int>(std::ceil(kE13bHeightTenths / 10.0 * unitPixels));
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
  std::vector<double> area(image.pixels.size(), 0.0);
  for (const GlyphRect& r : glyph.rects) {
    const double x0 = r.x0 * unitPixels, x1 = r.x1 * unitPixels;
    const double y0 = r.y0 / 10.0 * unitPixels, y1 = r.y1 / 10.0 * unitPixels;
    for (int py = static_cast<int>(y0); py < image.height && py < y1; ++py) {
      const double h = std::min<double>(py + 1, y1) - std::max<double>(py, y0);
      for (int px = static_cast<int>(x0); px < image.width && px < x1; ++px) {
        const double w = std::min<double>(px + 1, x1) - std::max<double>(px, x0);
        area[static_cast<std::size_t>(py) * image.width + px] += w * h;
      }
    }
  }
  for (std::size_t i = 0; i < area.size(); ++i) {
    image.pixels[i] = static_cast<uint8_t>(std::lround(std::clamp(area[i], 0.0, 1.0) * 255));
  }
  return image;
}

}  // namespace micrkit
