// Edge-detecting black-and-white conversion of 4-, 8- and 24-bit cheque records: the dark side borders
// cropped, black and white thresholds from the histogram, an edge map, and a run-length state machine that
// keeps strokes and edges black and flat mid-gray areas white; optional clean-up filters and a density
// correction follow. The result is a 1-bit image of h - 4 rows and w - L - R columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/histogram.h"

namespace zc::imaging {

// Options word of the conversion (bits 24..31: a percentage 11..94 for the white threshold).
inline constexpr unsigned kEdgeAutoThreshold = 0x2;
inline constexpr unsigned kEdgeAltBlackBin = 0x4;
inline constexpr unsigned kEdgeBlackBelowUpperHalf = 0x8;
inline constexpr unsigned kEdgeLowerBlack = 0x10;
inline constexpr unsigned kEdgeIsolatedPixels = 0x40;
inline constexpr unsigned kEdgeMeasureDensity = 0x80;
inline constexpr unsigned kEdgeCropBorders = 0x100;
inline constexpr unsigned kEdgeCleanUpFilter = 0x200;
inline constexpr unsigned kEdgeDensityCorrection = 0x400;

// The conversion's result before it is written anywhere: rows of `stride` = (source width + 7) / 8 bytes,
// bit c of a row holding source column left + c - 2 (bits 0..3 white); `width` = w - L - R bits are valid.
struct EdgeBitImage {
  int width = 0;
  int rows = 0;
  int left = 0;
  int dpi = 0;
  size_t stride = 0;
  std::vector<uint8_t> bits;
  const uint8_t* Row(int r) const { return bits.data() + static_cast<size_t>(r) * stride; }
};

// Black threshold T and white threshold W from a 16-bin sampled histogram, in the record's units (4-bit
// levels, or 8-bit levels for 8 and 24 bits).
struct EdgeThresholds {
  int black = 0;
  int white = 0;
};
EdgeThresholds EdgeThresholdsFromHistogram(const Histogram& bins, unsigned options, bool fourBit);

// Runs the conversion into `image`. 0; -125 when no scanner type is known; -552 for a depth other than 4,
// 8 or 24, a record that does not fit its buffer, a height below 108, a size above 2048 x 940 (3072 x 1500
// at parameter 6 = 4), fewer than 8 columns left after cropping, or options without kEdgeAutoThreshold;
// -106 without memory. The density counters are set as the options ask.
int ConvertEdgeDetectBW(std::span<const uint8_t> source, int edgeThreshold, unsigned options, EdgeBitImage& image);

// Writes `image` as a 1-bit record (width w - L - R, rows of (width + 7) / 8 bytes, bits past the width
// white) into `output`. 0, or -552 when it does not fit.
int WriteEdgeBitImageRecord(const EdgeBitImage& image, std::span<uint8_t> output);

// The conversion into the 1-bit record `output` when it is not empty; nothing is written to `outputName`
// then. Without an output record the image goes to `outputName` (a G4 file or an "MD:" target) with the
// CRC of the bit image in its header, and the result is the TIFF header writer's (1, or -105 / -233).
int funcConvGrayImageEdgeDetectBW(std::span<const uint8_t> source, const char* outputName, int edgeThreshold,
                                  unsigned options, std::span<uint8_t> output);
int funcEdgeDetectBW(std::span<const uint8_t> source, const char* outputName, int edgeThreshold, unsigned options);

// The black and examined pixel counts of the last measuring conversion; black x 100 / total, 0 when total
// is below 1.
int funcGetBWDensity(int* black, int* total);

}  // namespace zc::imaging
