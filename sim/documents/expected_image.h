// The image a host should hold for a document side after assembling the raw lines the simulated scanner
// sent: the raw lines as columns, in the host's line order; the window's good pixels as rows, the one
// nearest the track stored first (a bottom-up DIB, so the side shows upright); in colour the host's line
// expansion, each output line made of three raw lines taken as its red, green and blue planes; then cut
// to the document's length. End-to-end tests compare the host's DIB with it byte for byte.
//
// Colour expansion (groups of raw lines L0, L1, ... from the first transferred line):
//   colour mode 1, 200 dpi: every group of four gives (L0, L1, L2), (L0, L1, L2), (L4, L3, L2), (L4, L3, L2),
//     over (lines - 1) / 4 groups; at 100 dpi (L0, L1, L2) and (L4, L3, L2) from every second pixel.
//   colour mode 2, 200 dpi: every group of three gives (L0, L1, L2) twice, over (lines - 2) / 3 groups; at
//     100 dpi once, from every second pixel.
// Grey at 100 dpi is the half-size transfer itself (every second line and pixel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/documents/channel_lights.h"
#include "sim/documents/sensor_scan.h"

namespace sim::documents {

struct HostAssembly {
  ColourMode mode = ColourMode::kGrey;
  int dpi = 200;                // 200, or 100
  bool reverseColumns = false;  // the host's line-order flag for this side
  int firstGoodPixel = 0;       // the window's first row, in good pixels from the track
  int rows = 0;                 // rows before cropping; 0: every transferred good pixel from the first
  // Output lines each colour mode 2 group gives; 0: twice, once at 100 dpi (a 300 dpi sensor: three times).
  int groupRepeat = 0;
  // Colour mode 2 takes every whole group of three lines (lines / 3), as sent; otherwise a group needs the
  // line after it too ((lines - 2) / 3).
  bool wholeGroups = false;
};

struct ExpectedImage {
  int width = 0;
  int height = 0;
  int bitCount = 8;  // 8 grey, 24 colour (bytes blue, green, red), 4 grey of 16 levels (high nibble first)
  int dpi = 200;
  std::vector<uint8_t> pixels;  // storage order (row 0 stored first), rows of RowBytes() without padding

  int RowBytes() const { return (width * bitCount + 7) / 8; }
  const uint8_t* Row(int j) const {
    return pixels.data() + static_cast<size_t>(j) * static_cast<size_t>(RowBytes());
  }
};

// The image a host holds in a packed DIB (header, palette, rows padded to four bytes), in the same form:
// its rows in storage order with the padding dropped (dpi left 0). Empty for a null pointer.
ExpectedImage ReadPackedDib(const void* dib);

// The side as assembled, before cropping. Empty (width 0) when the transfer would be refused.
ExpectedImage AssembleSide(const SideScan& scan, const TransferRequest& request, const HostAssembly& host);

// The image reduced from the sensor's 300 dpi to `dpi`: 100 takes the mean of every 3 x 3 block; 200 turns
// every 3 x 3 block into 2 x 2, the first output column (row) taking the block's first pixel (row) and the
// second the mean of the other two (truncated); any other dpi keeps the image. Channels apart in colour.
ExpectedImage ReduceFrom300(const ExpectedImage& image, int dpi);

// Cuts an image to its first `rows` rows (storage order); more rows than it has keep it whole.
void KeepRows(ExpectedImage& image, unsigned rows);

// Both sides of a document cut to the larger of their two document lengths L, as the host crops: the
// window of rows 0..L, that is L + 1 rows, or the whole side when it is not higher.
void CutBothToLarger(ExpectedImage& front, ExpectedImage& rear);

}  // namespace sim::documents
