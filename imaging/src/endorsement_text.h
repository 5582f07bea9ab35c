// The endorsement renderer shared by the canvas and the virtual endorsement: lines, fonts, measuring and
// drawing into a packed 1-bit raster.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text/text_rasterizer.h"

namespace zc::imaging {

// A raster of `rows` rows of width / 8 bytes (width a multiple of 8), leftmost pixel in the high bit.
struct MonoRaster {
  uint8_t* bits = nullptr;
  int width = 0;
  int rows = 0;
};

struct TextExtent {
  int width = 0;   // the widest line
  int height = 0;  // lines x |font height|
};

// The first 255 characters cut at runs of CR and LF; empty lines do not count.
std::vector<std::string_view> SplitEndorsementLines(std::string_view text);

// Height as given (negative: em size), weight 400 + 300 x bold.
text::FontSpec EndorsementFont(int height, int bold, int italic, const char* face);

// Width -1 when the font cannot be made (heights beyond 1024 pixels either way).
TextExtent funcMeasureEndorsementText(const text::FontSpec& font, std::string_view text);

// ORs the text into the raster at (x, y) in the given style. Nothing is drawn when x lies outside the
// raster, y below it, y above it with `topClip`, or (without `fit`) fewer than 8 pixels remain right of x.
// A text too wide or tall is moved inside with `fit`, else cut. The width drawn (after cutting), or -1
// when nothing could be drawn (also when the font cannot be made: that is traced, not reported).
int funcDrawEndorsementText(const MonoRaster& target, int x, int y, const text::FontSpec& font,
                            std::string_view text, bool topClip, bool fit, int style);

}  // namespace zc::imaging
