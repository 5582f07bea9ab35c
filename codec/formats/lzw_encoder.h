// Streaming LZW encoder with the GIF code-width rule (GIF89a appendix F). Pixels may arrive in
// any number of pieces: the string being built is kept between calls, so a band boundary does not
// change the codes. Strings are found through a hash of (prefix code, next byte) with linear probing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/formats/lzw_rule.h"

namespace zc::codec::fmt {

// Receives each code with its width in bits.
class LzwCodeSink {
 public:
  virtual ~LzwCodeSink() = default;
  virtual void put(int code, int width) = 0;
};

class LzwEncoder {
 public:
  // rootBits: the GIF minimum code size (2..8). maxString: longest string coded as one code.
  LzwEncoder(int rootBits, size_t maxString);

  // Writes the leading clear code.
  void begin(LzwCodeSink& sink);
  // Codes pixels; the bits above the root size are masked off.
  void encode(const uint8_t* pixels, size_t count, LzwCodeSink& sink);
  // Emits the pending string once, then the end-of-information code.
  void finish(LzwCodeSink& sink);

 private:
  void resetTable();
  int find(int prefix, uint8_t byte, size_t* slot) const;

  static constexpr size_t kHashSlots = 16384;
  int rootBits_;
  int clearCode_;
  size_t maxString_;
  int nextCode_ = 0;
  int width_ = 0;
  int current_ = -1;
  size_t currentLength_ = 0;
  std::vector<uint32_t> keys_;  // (prefix << 8 | byte) + 1; 0 = empty slot
  std::vector<uint16_t> codes_;
};

}  // namespace zc::codec::fmt
