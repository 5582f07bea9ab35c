// The second scan-line path, for a grey-only sensor of at most 2048 pixels: one white and one black
// calibration line, per-pixel tables (white-only 8-bit and 4-bit gain, or a 6-bit black-and-white
// stretch), in-place correction of 4- and 8-bit raw lines, and image building in both orientations.
//
// Raw 4-bit lines hold the first pixel of each pair (pixels counted from 1: the odd one) in the high
// nibble.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "qv6/image/dib.h"
#include "qv6/image/raw_lines.h"

namespace qv6 {

class CPICScanLines : public RawLineSource {
 public:
  static constexpr int kMaxPixels = 2048;

  CPICScanLines();
  virtual ~CPICScanLines() = default;

  CPICScanLines(const CPICScanLines&) = delete;
  CPICScanLines& operator=(const CPICScanLines&) = delete;

  // Copies at most kMaxPixels bytes into the white line (white = 1) or the black line (white = 0).
  int SetCalibrationLine(std::span<const uint8_t> src, int white);

  // Scan type 1: white-only 4-bit pair tables; 2: white-only 8-bit gain; 3: 6-bit stretch between the
  // black and the white level (first 64 entries). 0 for another type or too many calibrated pixels.
  int BuildLookupTables();

  // Corrects every raw line in place (correction mode 2), one table per pixel from `start` (startReversed
  // and downward when reversed), two per pixel when half. 4 bits: each nibble v is looked up at entry 4v of
  // its own pixel's table and the upper 4 bits kept. 0 for another mode or when indices do not fit.
  int ApplyLookupTable(int reversed, int half, int start, int startReversed);

  std::span<const uint8_t, 256> GetLookupTable(int pixel) const;

 protected:
  uint8_t* Table(int pixel) { return tables_.data() + static_cast<size_t>(pixel) * 256; }

 private:
  std::vector<uint8_t> white_;
  std::vector<uint8_t> black_;
  std::vector<uint8_t> tables_;  // [pixel][256]
};

class CPICLoadScanLines : public CPICScanLines, public CDib {
 public:
  CPICLoadScanLines() = default;

  // Builds the image from pixels firstPixel..lastPixel (from 1; lastPixel 0: the whole line) of every raw
  // line, at 4 or 8 bits.
  // Orientation 0, lines become rows: 0x400 clear, line i is row lines - 1 - i read backwards from pixel
  //   pixelsPerLine - firstPixel; 0x400 set, line i is row i read forwards. 0x100 exchanges the nibbles of
  //   each 4-bit output byte.
  // Orientation 1, lines become columns: 0x400 clear, line i is column i read backwards; 0x400 set, column
  //   lines - 1 - i read forwards.
  // A refused geometry returns 0 and leaves the previous image in place.
  int BuildImage(int orientation, int firstPixel, int lastPixel);
};

}  // namespace qv6
