// TIFF 6.0 image file directory reading: the byte order ("II" little-endian, "MM" big-endian), the
// field types and their sizes, entry values and arrays, the walk to the wanted page, and the fields
// the codec's TIFF reader uses. Offsets count from the start of the source.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/core/img_desc.h"

namespace zc::codec::fmt {

inline constexpr uint16_t kTiffIntel = 0x4949;
inline constexpr uint16_t kTiffMotorola = 0x4D4D;

// Order of the two bytes at p: kTiffIntel or kTiffMotorola, else 0 with error 65.
uint16_t tiffByteOrder(const uint8_t* p);
uint16_t tiffGet16(const uint8_t* p, uint16_t order);
uint32_t tiffGet32(const uint8_t* p, uint16_t order);
// Bytes of one item of a field type (TIFF 6.0 types 1..12); -1 with error 66 for others.
int tiffTypeSize(int type);

struct TiffIfd {
  uint16_t order = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bits = 1;  // BitsPerSample summed over the samples
  uint32_t compression = 1;
  uint32_t photometric = 0;
  bool photometricGiven = false;
  uint32_t rowsPerStrip = 0;  // 0 = the image height
  uint32_t resolutionUnit = 2;
  uint32_t predictor = 1;
  uint32_t planar = 1;
  uint32_t xResolution[2] = {0, 1};
  uint32_t yResolution[2] = {0, 1};
  int offsetType = 0;  // field type of StripOffsets
  int countType = 0;
  std::vector<uint32_t> stripOffsets;
  std::vector<uint32_t> stripCounts;
  uint32_t jpegInterchange = 0;  // tag 513
  bool hasJpegInterchange = false;

  uint32_t stripRows() const { return rowsPerStrip == 0 || rowsPerStrip > height ? height : rowsPerStrip; }
};

// Reads directory `page` (0-based). With headerOnly the strip arrays are not read.
// 0, or -1 with 65, 66, 67, 68, 69, 3 or 4.
int readTiffIfd(ImgDecompDesc* desc, int page, bool headerOnly, TiffIfd* ifd);

}  // namespace zc::codec::fmt
