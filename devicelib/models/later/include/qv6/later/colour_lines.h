// ColourLines: the later series' colour expansion. In colour the scanner sends one raw line per channel
// record, cycling through the records' LEDs; the host builds 24-bit lines of three planes (each plane one
// raw line, the pixel order kept) for the scan-line loader.
//
//   colour mode 1 (groups of four raw lines L0..L3, L4 the next group's first):
//     200 dpi: (L0, L1, L2), (L0, L1, L2), (L4, L3, L2), (L4, L3, L2) per group, over (lines - 1) / 4 groups;
//     100 dpi: (L0, L1, L2), (L4, L3, L2) per group, every second pixel.
//   colour mode 2 (groups of three L0..L2): 200 dpi (L0, L1, L2) twice per group, over (lines - 2) / 3
//     groups; 100 dpi once, every second pixel. A 300 dpi sensor (the QV64x) writes each group three
//     times: its colour raw lines come at a third of the grey line rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv6::later {

struct ColourLines {
  int lines = 0;   // output lines
  int pixels = 0;  // pixels per plane
};

// Expands `raw` (lines x pixels bytes) into `out` (resized to lines x 3 x pixels). Colour mode 1 or 2; any
// other mode, or raw data shorter than lines x pixels, gives no lines. `repeat` is how often each output
// line is written; 0 takes the 200 dpi sensor's rule (twice, once at half size).
ColourLines ExpandColourLines(std::span<const uint8_t> raw, int lines, int pixels, int colourMode, bool half,
                              std::vector<uint8_t>& out, int repeat = 0);

}  // namespace qv6::later
