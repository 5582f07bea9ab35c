// E13B glyphs drawn as rectangles on the 0.013-inch grid: columns are whole
// grid units, heights are tenths of a unit (the glyph is 9 units, 0.117 in,
// tall). The column ink of each glyph follows the magnetic lobe heights that
// the magnetic reader expects, so its head signal reads back as the symbol.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace micrkit {

inline constexpr double kE13bUnitInches = 0.013;
inline constexpr int kE13bHeightTenths = 90;      // glyph height, in tenths of a unit
inline constexpr double kE13bPitchUnits = 9.625;  // character pitch, 1/8 inch

struct GlyphRect {
  int x0, x1;  // columns [x0, x1), grid units from the glyph's left edge
  int y0, y1;  // rows [y0, y1), tenths of a unit from the top
};

struct E13bGlyph {
  char symbol;  // '0'..'9', ':' transit, ';' amount, '<' on-us, '=' dash
  int width;    // grid units
  std::span<const GlyphRect> rects;
};

// The glyph of `symbol`, or nullptr when it is not an E13B symbol.
const E13bGlyph* FindE13bGlyph(char symbol);
std::span<const E13bGlyph> E13bGlyphs();

// Ink height of each column, left to right, in tenths of a unit.
std::vector<int> ColumnInk(const E13bGlyph& glyph);

// Ink coverage of the glyph rendered at `dpi`: 0 paper .. 255 full ink, row after row.
struct CoverageImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};
CoverageImage RenderE13bGlyph(const E13bGlyph& glyph, int dpi);

}  // namespace micrkit
