// The two colour-to-gray conversions of the image records. They give slightly different levels and both
// are kept: the byte tables feed the DIB cropper and the fixed-threshold conversion, the 16.16 tables the
// 24-bit to gray record conversion.
#pragma once

#include <array>
#include <cstdint>

namespace zc::imaging {

// Byte tables: red[i] = ((2i + 1) * 77) / 512, green[i] = ((2i + 1) * 151) / 512,
// blue[i] = ((2i + 1) * 30) / 512; a pixel's gray is red[r] + green[g] + blue[b] (at most 255).
struct ByteGrayTables {
  std::array<uint8_t, 256> red;
  std::array<uint8_t, 256> green;
  std::array<uint8_t, 256> blue;
  int Gray(uint8_t r, uint8_t g, uint8_t b) const { return red[r] + green[g] + blue[b]; }
};
const ByteGrayTables& GetByteGrayTables();

// 16.16 fixed point: red[i] = 19595 i, green[i] = 38470 i, blue[i] = 7471 i + 32768 (the rounding half);
// gray = sum >> 16 = round(0.299 R + 0.587 G + 0.114 B).
struct FixedGrayTables {
  std::array<uint32_t, 256> red;
  std::array<uint32_t, 256> green;
  std::array<uint32_t, 256> blue;
  int Gray(uint8_t r, uint8_t g, uint8_t b) const { return static_cast<int>((red[r] + green[g] + blue[b]) >> 16); }
};
const FixedGrayTables& GetFixedGrayTables();

}  // namespace zc::imaging
