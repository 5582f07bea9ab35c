// Little-endian field access and size arithmetic of packed DIB headers.
#include "qv6/image/dib_format.h"

#include <algorithm>
#include <limits>

namespace qv6 {

uint16_t LoadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void WriteInfoHeader(uint8_t* dst, const BitmapInfoHeader& h) {
  StoreLe32(dst + 0, h.size);
  StoreLe32(dst + 4, static_cast<uint32_t>(h.width));
  StoreLe32(dst + 8, static_cast<uint32_t>(h.height));
  StoreLe16(dst + 12, h.planes);
  StoreLe16(dst + 14, h.bitCount);
  StoreLe32(dst + 16, h.compression);
  StoreLe32(dst + 20, h.sizeImage);
  StoreLe32(dst + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  StoreLe32(dst + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  StoreLe32(dst + 32, h.clrUsed);
  StoreLe32(dst + 36, h.clrImportant);
}

BitmapInfoHeader ReadInfoHeader(const uint8_t* src) {
  BitmapInfoHeader h;
  h.size = LoadLe32(src + 0);
  h.width = static_cast<int32_t>(LoadLe32(src + 4));
  h.height = static_cast<int32_t>(LoadLe32(src + 8));
  h.planes = LoadLe16(src + 12);
  h.bitCount = LoadLe16(src + 14);
  h.compression = LoadLe32(src + 16);
  h.sizeImage = LoadLe32(src + 20);
  h.xPelsPerMeter = static_cast<int32_t>(LoadLe32(src + 24));
  h.yPelsPerMeter = static_cast<int32_t>(LoadLe32(src + 28));
  h.clrUsed = LoadLe32(src + 32);
  h.clrImportant = LoadLe32(src + 36);
  return h;
}

int DibDefaultColorCount(int bitCount) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

int64_t DibBytesPerLine(int64_t width, int64_t bitCount) {
  if (width < 0 || bitCount < 0) return -1;
  return ((bitCount * width + 31) / 32) * 4;
}

int32_t PixelsPerMetreFromDpi(int dpi) {
  const int64_t ppm = (static_cast<int64_t>(dpi) * 3937 + 50) / 100;
  return static_cast<int32_t>(
      std::clamp<int64_t>(ppm, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int DpiFromPixelsPerMetre(int32_t pixelsPerMetre) {
  return static_cast<int>(static_cast<int64_t>(pixelsPerMetre) * 100 / 3937);
}

}  // namespace qv6
