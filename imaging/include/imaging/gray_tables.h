// The byte-table colour-to-gray conversion of the DIB cropper and the fixed-threshold conversion. (The
// 24-bit to gray record conversion uses the rounded ITU-R BT.601 luma of the JPEG colour conversion
// instead; the two give slightly different levels and both are kept.)
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

}  // namespace zc::imaging
