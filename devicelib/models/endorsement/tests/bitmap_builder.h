// Builds 1-bit endorsement images (rows padded to 32 bits, leftmost column in the most significant bit)
// from the column words a test wants the head to print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv6::endorsement::testing {

struct TestBitmap {
  std::vector<uint8_t> bits;
  int width = 0;
  int rows = 0;
};

// Image bit (row j, column x) is 1 where bit j of words[x] is set (rows beyond 16 are left 0).
inline TestBitmap BitmapOfColumns(const std::vector<uint16_t>& words, int rows) {
  TestBitmap image;
  image.width = static_cast<int>(words.size());
  image.rows = rows;
  const size_t stride = (words.size() + 31) / 32 * 4;
  image.bits.assign(stride * static_cast<size_t>(rows) + 1, 0);  // +1: never empty
  for (size_t x = 0; x < words.size(); ++x) {
    for (int j = 0; j < rows && j < 16; ++j) {
      if ((words[x] >> j) & 1) image.bits[j * stride + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
  }
  return image;
}

}  // namespace qv6::endorsement::testing
