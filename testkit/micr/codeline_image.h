// Printed code lines: E13B and CMC-7 characters drawn into any image through a coverage callback, laid out
// as on a cheque (1/8-inch pitch, counted from the right, the rightmost position 5/16 inch from the
// document's right edge, the glyph bottom 3/16 inch above its bottom edge). One renderer for the test
// cheques and the simulated scanner's fronts.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace micrkit {

inline constexpr double kLinePitchInches = 0.125;
inline constexpr double kLineRightMarginInches = 5.0 / 16;
inline constexpr double kLineBaselineInches = 3.0 / 16;

// Darkens pixel (x, y) by `coverage`, 0 none .. 255 full ink. Points may lie outside the image.
using PlotFn = std::function<void(int x, int y, int coverage)>;

// Where position 1's cell ends and where the glyphs stand, for an image of `width` x `height` at `dpi`.
struct LinePlacement {
  int rightEdge = 0;  // right end of the rightmost cell, in pixels
  int bottom = 0;     // glyph bottom row (exclusive)
};
LinePlacement PlaceLine(int width, int height, int dpi);

// `line` read left to right; ' ' leaves its position empty, other unknown characters too. Characters
// sit right-aligned in their cells. `shiftY` moves the whole line (positive: down).
void DrawE13bLine(std::string_view line, int dpi, const LinePlacement& at, const PlotFn& plot);
// CMC-7: seven bars a character. At 300 dpi a bar is 2 pixels wide, bar starts lie 3 or 4 pixels apart
// across a short gap (alternating) and 6 across a long one, and the bars are 36 rows high; other
// resolutions scale these.
void DrawCmc7Line(std::string_view line, int dpi, const LinePlacement& at, const PlotFn& plot);

}  // namespace micrkit
