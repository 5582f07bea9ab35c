// Pixel moves from raw scan lines into DIB rows, shared by both scan-line paths. A raw line either becomes
// one column of the image (the sensor lies across the document's travel) or one row. Callers have checked
// the geometry: every index these functions form lies inside the lines and the image.
#pragma once

#include <cstdint>

#include "qv6/image/dib_format.h"

namespace qv6::lines {

// Which raw pixels are read, and where each line goes.
struct LineRead {
  const uint8_t* lines = nullptr;
  int64_t bytesPerLine = 0;
  int numberOfLines = 0;
  int64_t start = 0;          // pixel index (from 0) read for output position 0
  int step = 1;               // +1 reads a line forwards, -1 backwards
  bool reverseLines = false;  // line i goes to position numberOfLines - 1 - i
  int Position(int line) const { return reverseLines ? numberOfLines - 1 - line : line; }
};

// 4-bit raw lines hold two pixels a byte; the first of a pair sits in the high or in the low nibble.
enum class NibbleOrder { kHighFirst, kLowFirst };

// Lines become columns (image numberOfLines wide); pixel j of the window fills row j.
void LinesToColumns8(const LineRead& r, const DibView& dst);
// 24 bits: each line holds three planes (red, green, blue) of planeBytes each; output bytes are blue,
// green, red.
void LinesToColumns24(const LineRead& r, int64_t planeBytes, const DibView& dst);
// 4 bits: two lines make one output byte column, the first in the high nibble; an odd line count leaves
// the last low nibble 0.
void LinesToColumns4(const LineRead& r, NibbleOrder order, const DibView& dst);

// Lines become rows (image as wide as the window).
void LinesToRows8(const LineRead& r, const DibView& dst);
// 4 bits, the first pixel of each output byte in its high nibble (exchanged when swapNibbles); an odd
// window leaves the last low nibble 0.
void LinesToRows4(const LineRead& r, NibbleOrder order, bool swapNibbles, const DibView& dst);

}  // namespace qv6::lines
