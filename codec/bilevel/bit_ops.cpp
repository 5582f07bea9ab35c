// Inversion and bit reversal of packed 1-bit buffers, a word or a table entry at a time.
#include "codec/bilevel/bit_ops.h"

#include <cstring>

namespace zc::codec {
void funcInvertBytes(uint8_t* buffer, size_t count) {
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    uint64_t w[2];
    std::memcpy(w, buffer + i, 16);
    w[0] = ~w[0];
    w[1] = ~w[1];
    std::memcpy(buffer + i, w, 16);
  }
  for (; i < count; ++i) buffer[i] = static_cast<uint8_t>(~buffer[i]);
}

void funcReverseBytesBits(uint8_t* buffer, size_t count) {
  for (size_t i = 0; i < count; ++i) buffer[i] = kBitReverse[buffer[i]];
}

}  // namespace zc::codec
