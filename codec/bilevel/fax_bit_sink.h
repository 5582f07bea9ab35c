// The encoder's bit accumulator: codes are gathered most significant bit first and stored
// as big-endian 32-bit words (ITU-T T.4 bit order, TIFF FillOrder 1).
#pragma once

#include <cstdint>

namespace zc::codec {

struct FaxBitSink {
  uint8_t* buffer;
  int32_t pos;   // bytes stored; a multiple of 4 while bits are being coded
  uint64_t acc;  // pending bits, right-aligned
  int32_t bits;  // pending bit count, 0..31

  // Appends the low `length` bits of `value` (length 0..32).
  void put(uint32_t value, int length) {
    acc = (acc << length) | (value & (length == 32 ? 0xFFFFFFFFu : ((1u << length) - 1)));
    bits += length;
    if (bits >= 32) {
      const uint32_t word = static_cast<uint32_t>(acc >> (bits - 32));
      buffer[pos] = static_cast<uint8_t>(word >> 24);
      buffer[pos + 1] = static_cast<uint8_t>(word >> 16);
      buffer[pos + 2] = static_cast<uint8_t>(word >> 8);
      buffer[pos + 3] = static_cast<uint8_t>(word);
      pos += 4;
      bits -= 32;
      acc &= (uint64_t{1} << bits) - 1;
    }
  }
  // Zero bits up to the next byte boundary.
  void alignToByte() {
    if (bits % 8 != 0) put(0, 8 - bits % 8);
  }
  int64_t totalBits() const { return int64_t{pos} * 8 + bits; }
};

}  // namespace zc::codec
