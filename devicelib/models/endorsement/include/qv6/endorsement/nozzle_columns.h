// Nozzle columns: a 1-bit endorsement image as the 16-bit column words of the 12-nozzle ink-jet head.
//
// The image is row after row of ((width + 31) / 32) x 4 bytes, row 0 first, the leftmost column in the
// most significant bit of a byte. A column word has bit j set for row j (rows 0 to 11; rows from 12 on
// are not printed) where the head puts a dot: by default where the image bit is 0, with the ink-where-set
// polarity where it is 1. Rows the image does not have give no dot in either polarity. On the wire and
// in printer buffers a word takes two bytes, rows 0-7 first, then rows 8-11 in bits 0-3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qv6::endorsement {

inline constexpr int kNozzles = 12;
// Print flags of the callers: bit 1 selects the ink-where-set polarity.
inline constexpr int kFlagInkWhereSet = 2;

struct EndorsementBitmap {
  const uint8_t* bits = nullptr;
  size_t width = 0;
  size_t rows = 0;

  size_t RowBytes() const { return (width + 31) / 32 * 4; }

  // The caller's image, or nullopt when the arguments cannot describe one: a negative width or row
  // count, or no bits although there are rows and columns to read.
  static std::optional<EndorsementBitmap> FromCaller(const void* bits, int width, int rows);
};

// The column word of image column x (0 for a column outside the image).
uint16_t NozzleColumn(const EndorsementBitmap& image, size_t x, bool inkWhereSet);

// Writes the words of columns first, first + 1, ... as byte pairs (low byte first) until `out` is full;
// columns past the image's width give zero words.
void EncodeNozzleColumns(const EndorsementBitmap& image, size_t first, bool inkWhereSet,
                         std::span<uint8_t> out);

}  // namespace qv6::endorsement
