// Fuzz entry point for a document side's acquisition, fed as a scanner feeds it. Every field comes from
// the input (16-bit values big-endian, as in the device's blocks):
//   0 resolution   2 flags: top-down sensor (bit 0), window form (bits 1-2: the scanner's window, whole
//   lines cut on the host, the record's whole width), half size (bit 3), half-size expansion (bit 4)
//   3 start pixel  5 good pixels  7 total pixels  9 reported width  11 bottom  13 top  15 first line
//   17 line count  19 colour mode (0-3)  20 repeat (signed)  21 reference table length T
// then T bytes of white and T of black reference (as many as are there), which the line-start and
// line-end searches read, and the raw lines, the rest of the input repeated to the size the window asks
// for, which the colour expansion reads. No size from a record may lead to a read or write outside the
// buffers, nor to an allocation beyond one document.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "qv6/later/acquisition_window.h"
#include "qv6/later/colour_lines.h"
#include "qv6/later/line_edges.h"

namespace {

constexpr size_t kHeaderBytes = 23;
// Raw buffers beyond this are not expanded, to keep each run short; their windows are still checked.
constexpr size_t kExpandLimit = size_t{1} << 18;

int Word(const uint8_t* p) {
  return (p[0] << 8) | p[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv6::later;
  if (size < kHeaderBytes) return 0;
  const uint8_t* h = data;
  SideGeometry g;
  g.resolution = Word(h + 0);
  g.topDown = (h[2] & 1) != 0;
  g.startPixel = Word(h + 3);
  g.goodPixels = Word(h + 5);
  g.totalPixels = Word(h + 7);

  // Reference tables of exactly the bytes the input has, so a search past them is caught.
  std::span<const uint8_t> rest(data + kHeaderBytes, size - kHeaderBytes);
  const size_t tableLength = std::min<size_t>(static_cast<size_t>(Word(h + 21)), rest.size() / 2);
  const std::vector<uint8_t> white(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(tableLength));
  const std::vector<uint8_t> black(rest.begin() + static_cast<std::ptrdiff_t>(tableLength),
                                   rest.begin() + static_cast<std::ptrdiff_t>(2 * tableLength));
  rest = rest.subspan(2 * tableLength);

  const int reachable = std::clamp<int>(g.goodPixels, 0, static_cast<int>(tableLength));
  WindowRequest r;
  r.firstUsable = FindLineStart(white, black, g.goodPixels);
  r.lastUsable = FindLineEnd(white, black, g.goodPixels);
  if (r.firstUsable < 0 || r.firstUsable > reachable || r.lastUsable < 0 || r.lastUsable > reachable)
    __builtin_trap();
  r.width = Word(h + 9);
  r.bottom = static_cast<int16_t>(Word(h + 11));
  r.top = static_cast<int16_t>(Word(h + 13));
  r.firstLine = Word(h + 15);
  r.lineCount = Word(h + 17);
  r.halfSize = (h[2] & 8) != 0;
  const int form = (h[2] >> 1) & 3;
  auto w = form == 1   ? ComputeFullWidthWindow(g, r)
           : form == 2 ? ComputeWholeWidthWindow(g, r)
                       : ComputeAcquisitionWindow(g, r);
  if (!w) return 0;
  if (w->Bytes() > (size_t{32} << 20)) __builtin_trap();  // beyond any document
  const int offset = w->WindowOffset(g);
  if (offset < 0 || offset + (w->upper - w->lower) > w->endPixel - w->firstPixel) __builtin_trap();
  if (w->Bytes() > kExpandLimit) return 0;

  std::vector<uint8_t> raw(w->Bytes());
  for (size_t at = 0; at < raw.size() && !rest.empty(); at += rest.size())
    std::copy_n(rest.begin(), std::min(rest.size(), raw.size() - at),
                raw.begin() + static_cast<std::ptrdiff_t>(at));
  const int colourMode = h[19] & 3;
  const bool half = (h[2] & 16) != 0;
  const int repeat = static_cast<int8_t>(h[20]) % 5;
  std::vector<uint8_t> lines;
  const ColourLines c = ExpandColourLines(raw, w->Lines(), w->Pixels(), colourMode, half, lines, repeat);
  if (static_cast<size_t>(c.lines) * 3 * static_cast<size_t>(c.pixels) != lines.size()) __builtin_trap();
  if (c.lines > 0) {
    // The first output line holds raw lines 0, 1 and 2 as its planes, every second pixel at half size.
    const size_t pixels = static_cast<size_t>(w->Pixels());
    for (size_t plane = 0; plane < 3; ++plane) {
      for (size_t u = 0; u < static_cast<size_t>(c.pixels); ++u) {
        const size_t from = plane * pixels + (half ? 2 * u : u);
        if (lines[plane * static_cast<size_t>(c.pixels) + u] != raw[from]) __builtin_trap();
      }
    }
  }
  return 0;
}
