// Byte-level operations on packed 1-bit data: inversion and bit-order reversal (TIFF 6.0
// FillOrder 2).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zc::codec {

namespace detail {
constexpr std::array<uint8_t, 256> makeBitReverse() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}
}  // namespace detail

// Entry i is i with its 8 bits in reverse order; one table serves every user.
inline constexpr std::array<uint8_t, 256> kBitReverse = detail::makeBitReverse();

void funcInvertBytes(uint8_t* buffer, size_t count);
void funcReverseBytesBits(uint8_t* buffer, size_t count);

}  // namespace zc::codec
