// CScanLines keeps the per-pixel calibration of one image side (four channels, a black and a white level
// per sensor pixel, at most 3000 pixels), turns it into per-pixel lookup tables and corrects raw lines in
// place. CLoadScanLines builds the side's DIB from the corrected lines, each raw line becoming one column.
//
// Raw 4-bit lines hold the even pixel (counted from 0) in the low nibble and the odd one in the high
// nibble; raw 24-bit lines hold a red, a green and a blue plane of a third of the line each.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "qv6/image/dib.h"
#include "qv6/image/raw_lines.h"

namespace qv6 {

class CScanLines : public RawLineSource {
 public:
  static constexpr int kMaxPixels = 3000;
  static constexpr int kChannels = 4;
  static constexpr int kPlanes = 3;

  CScanLines();
  virtual ~CScanLines() = default;

  CScanLines(const CScanLines&) = delete;
  CScanLines& operator=(const CScanLines&) = delete;

  // Kind 2c is the black line of channel c, 2c + 1 its white line (c = 0..3); other kinds are ignored.
  // Copies at most kMaxPixels bytes; a shorter source leaves the rest of the line as it was.
  int SetCalibrationLine(std::span<const uint8_t> src, unsigned kind);
  // The calibration line of a kind, empty for an unknown kind.
  std::span<const uint8_t> GetCalibrationLine(unsigned kind) const;

  // Builds the tables of the calibrated pixels: colour 1 (scan type 3) one stretch table per colour plane
  // from channels 1..3; colour 0 the grey plane by scan type (2: white-only 8-bit gain, 1: white-only 4-bit
  // pair tables, 3: stretch of channel 0 for weights (33, x, 33), else of the weighted mix of channels
  // 1..3, weights in percent). 0 when the scan type does not fit or the calibrated pixel count exceeds the
  // tables.
  int BuildLookupTables(int colour, int weightA, int weightB, int weightC);

  // Corrects every raw line in place (correction mode 2): the table index starts at `start` (startReversed
  // when reversed) and moves one pixel per pixel (two when half), downward when reversed; the line is
  // read from byteOffset (halved when half). 0 for another correction mode or when the lines or the table
  // indices do not fit.
  int ApplyLookupTables(int reversed, int half, int start, int startReversed, int byteOffset);

  // Table of a plane (0..2) and pixel (0..kMaxPixels - 1). Tables not built yet are the identity.
  std::span<const uint8_t, 256> GetLookupTable(int plane, int pixel) const;

 protected:
  uint8_t* Table(int plane, int pixel) {
    return tables_.data() + (static_cast<size_t>(plane) * kMaxPixels + static_cast<size_t>(pixel)) * 256;
  }
  const uint8_t* Calibration(unsigned kind) const { return calibration_.data() + kind * size_t{kMaxPixels}; }

 private:
  std::vector<uint8_t> calibration_;  // [kind 0..7][pixel]
  std::vector<uint8_t> tables_;       // [plane][pixel][256]
};

class CLoadScanLines : public CScanLines, public CDib {
 public:
  CLoadScanLines() = default;

  // Builds the side's image from pixels firstPixel..lastPixel (from 1; lastPixel 0: the whole line) of
  // every raw line. Orientation 1: raw line i becomes column i (0x400: column lines - 1 - i), pixel j of the
  // window row j (0x800: the line read backwards from its pixel pixelsPerLine - firstPixel). The image has
  // the object's bits per pixel (4, 8 or 24) and resolution. Orientation 0 is not built. A refused
  // geometry returns 0 and leaves the previous image in place.
  int BuildImage(int orientation, int firstPixel, int lastPixel);
};

}  // namespace qv6
