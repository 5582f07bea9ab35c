// Layout of a packed device-independent bitmap: a BITMAPINFOHEADER (40 bytes) or BITMAPCOREHEADER
// (12 bytes), then the palette, then the pixel rows, bottom-up, each padded to a multiple of 4 bytes.
// All header fields are little-endian and are read and written field by field, never as a struct image,
// so the layout holds on any host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv6 {

inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kCoreHeaderSize = 12;

// Largest block CDib allocates (header, palette and pixels). Device geometry is bounded well below it; a
// bigger request is refused rather than trusted.
inline constexpr uint64_t kMaxDibBytes = 256ull << 20;

// BITMAPINFOHEADER with the Windows field widths.
struct BitmapInfoHeader {
  uint32_t size = kInfoHeaderSize;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

// Pixel rows of an image: row y starts at bits + y * stride (storage order, row 0 stored first).
struct DibView {
  uint8_t* bits = nullptr;
  int64_t stride = 0;
  int width = 0;
  int height = 0;
  int bitCount = 0;
  uint8_t* Row(int64_t y) const { return bits + y * stride; }
};

uint16_t LoadLe16(const uint8_t* p);
uint32_t LoadLe32(const uint8_t* p);
void StoreLe16(uint8_t* p, uint16_t v);
void StoreLe32(uint8_t* p, uint32_t v);

// Writes the 40 header bytes at dst.
void WriteInfoHeader(uint8_t* dst, const BitmapInfoHeader& h);
// Reads a 40-byte header from src (which must hold 40 bytes).
BitmapInfoHeader ReadInfoHeader(const uint8_t* src);

// Palette entries a DIB of that depth has when its header names none: 2, 16 or 256 for 1, 4 or 8 bits,
// 0 for any other depth.
int DibDefaultColorCount(int bitCount);

// Row length in bytes: ((bits * width + 31) / 32) * 4, computed without overflow; -1 for a negative width.
int64_t DibBytesPerLine(int64_t width, int64_t bitCount);

// dpi to pixels per metre as (dpi * 3937 + 50) / 100, saturated to the 32-bit field; and back as
// ppm * 100 / 3937.
int32_t PixelsPerMetreFromDpi(int dpi);
int DpiFromPixelsPerMetre(int32_t pixelsPerMetre);

}  // namespace qv6
