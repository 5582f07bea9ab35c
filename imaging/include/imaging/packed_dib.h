// Packed DIBs as the device library hands them over: a 40-byte information header (any other header
// size field is read as the 12-byte core header), the palette, then bottom-up rows padded to 4 bytes.
// The block always travels with its byte size; the header is checked against it before any pixel is
// touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zc::imaging {

struct PackedDibInfo {
  uint32_t headerSize = 0;
  bool coreHeader = false;
  int width = 0;
  int height = 0;
  int bitCount = 0;
  int colors = 0;  // palette entries
  size_t paletteBytes = 0;
  size_t stride = 0;  // ((bits * width + 31) / 32) * 4
  size_t pixelOffset = 0;  // header + palette
};

// Reads and checks the header of the DIB in `dib`: 0 with `info` filled; -104 for sides outside
// 1..32767 (top-down DIBs included) or more colours than the depth has; -105 when the block is too short
// for the header or the pixel rows do not lie inside it.
int ReadPackedDib(std::span<const uint8_t> dib, PackedDibInfo* info);

// The header helpers. The pixel address is null when the DIB fails the check above; the palette size and
// colour count read the header fields only (0 when the block is too short for its header).
const uint8_t* funcDIBPixelAddress(std::span<const uint8_t> dib);
uint8_t* funcDIBPixelAddress(std::span<uint8_t> dib);
int funcDIBPaletteBytes(std::span<const uint8_t> dib);
int funcDIBColorCount(std::span<const uint8_t> dib);

// The same helpers under the names the DIB utilities use.
inline const uint8_t* funcFindDIBBits(std::span<const uint8_t> dib) {
  return funcDIBPixelAddress(dib);
}
inline int funcDIBGetPaletteBytes(std::span<const uint8_t> dib) {
  return funcDIBPaletteBytes(dib);
}
inline int funcDIBGetColorCount(std::span<const uint8_t> dib) {
  return funcDIBColorCount(dib);
}

}  // namespace zc::imaging
