// Code-line layout and the two fonts' drawing.
#include "testkit/micr/codeline_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "testkit/micr/cmc7_code.h"
#include "testkit/micr/e13b_glyphs.h"

namespace micrkit {
namespace {

int Px(double inches, int dpi) { return static_cast<int>(std::lround(inches * dpi)); }

// Horizontal coverage of [x0, x1) over pixel column px, 0..1.
double Overlap(double x0, double x1, int px) {
  return std::max(0.0, std::min<double>(px + 1, x1) - std::max<double>(px, x0));
}

}  // namespace

LinePlacement PlaceLine(int width, int height, int dpi) {
  return {width - Px(kLineRightMarginInches, dpi), height - Px(kLineBaselineInches, dpi)};
}

void DrawE13bLine(std::string_view line, int dpi, const LinePlacement& at, const PlotFn& plot) {
  const int pitch = Px(kLinePitchInches, dpi);
  for (size_t i = 0; i < line.size(); ++i) {
    const E13bGlyph* glyph = FindE13bGlyph(line[i]);
    if (glyph == nullptr) continue;
    const CoverageImage cov = RenderE13bGlyph(*glyph, dpi);
    const int cellRight = at.rightEdge - static_cast<int>(line.size() - 1 - i) * pitch;
    const int x0 = cellRight - cov.width;
    const int y0 = at.bottom - cov.height;
    for (int y = 0; y < cov.height; ++y) {
      for (int x = 0; x < cov.width; ++x) {
        const int c = cov.pixels[static_cast<size_t>(y) * static_cast<size_t>(cov.width) + static_cast<size_t>(x)];
        if (c > 0) plot(x0 + x, y0 + y, c);
      }
    }
  }
}

void DrawCmc7Line(std::string_view line, int dpi, const LinePlacement& at, const PlotFn& plot) {
  const double scale = dpi / 300.0;
  const double pitch = kLinePitchInches * dpi;
  const double bar = 2 * scale;
  const int height = static_cast<int>(std::lround(36 * scale));
  const int top = at.bottom - height;
  for (size_t i = 0; i < line.size(); ++i) {
    const Cmc7Symbol* symbol = FindCmc7Symbol(line[i]);
    if (symbol == nullptr) continue;
    const double cellRight = at.rightEdge - static_cast<double>(line.size() - 1 - i) * pitch;
    double x = std::round(cellRight - pitch + 0.15 * pitch);
    for (int b = 0; b < 7; ++b) {
      for (int px = static_cast<int>(std::floor(x)); px < x + bar; ++px) {
        const int c = static_cast<int>(std::lround(Overlap(x, x + bar, px) * 255));
        if (c <= 0) continue;
        for (int y = top; y < at.bottom; ++y) plot(px, y, c);
      }
      if (b < 6) x += (symbol->longGap[static_cast<size_t>(b)] ? 6 : (b % 2 == 0 ? 3 : 4)) * scale;
    }
  }
}

}  // namespace micrkit
