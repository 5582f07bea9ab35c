// Fuzz entry point for a document side's acquisition: module geometry and document record fields from the
// input, then the transfer window (the scanner's window, or whole lines cut on the host when byte 21 has
// bit 0 set), a raw buffer of the size it asks for, and the colour expansion. No size from a record may
// lead to a read or write outside the buffers, nor to an allocation beyond one document.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "qv6/later/acquisition_window.h"
#include "qv6/later/colour_lines.h"
#include "qv6/later/line_edges.h"

namespace {

int Word(const uint8_t* data, size_t size, size_t at) {
  return at + 1 < size ? (data[at] << 8) | data[at + 1] : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv6::later;
  SideGeometry g;
  g.resolution = Word(data, size, 0);
  g.topDown = size > 2 && (data[2] & 1) != 0;
  g.startPixel = Word(data, size, 3);
  g.goodPixels = Word(data, size, 5);
  g.totalPixels = Word(data, size, 7);
  std::vector<uint8_t> white(2048, 255), black(2048, 0);
  WindowRequest r;
  r.firstUsable = FindLineStart(white, black, g.goodPixels);
  r.width = Word(data, size, 9);
  r.bottom = static_cast<int16_t>(Word(data, size, 11));
  r.top = static_cast<int16_t>(Word(data, size, 13));
  r.firstLine = Word(data, size, 15);
  r.lineCount = Word(data, size, 17);
  r.halfSize = size > 19 && (data[19] & 1) != 0;
  const int colourMode = size > 20 ? data[20] % 3 : 0;
  const bool fullWidth = size > 21 && (data[21] & 1) != 0;
  auto w = fullWidth ? ComputeFullWidthWindow(g, r) : ComputeAcquisitionWindow(g, r);
  if (!w) return 0;
  if (w->Bytes() > (size_t{32} << 20)) __builtin_trap();  // beyond any document
  std::vector<uint8_t> raw(w->Bytes(), 0x80);
  std::vector<uint8_t> lines;
  const bool half = !fullWidth && size > 20 && (data[20] & 4) != 0;
  ColourLines c = ExpandColourLines(raw, w->Lines(), w->Pixels(), colourMode, half, lines, fullWidth ? 3 : 0);
  if (static_cast<size_t>(c.lines) * 3 * static_cast<size_t>(c.pixels) != lines.size()) __builtin_trap();
  const int offset = w->WindowOffset(g);
  if (offset < 0 || offset + (w->upper - w->lower) > w->endPixel - w->firstPixel) __builtin_trap();
  return 0;
}
