// GIF LZW encoding.
#include "codec/formats/lzw_encoder.h"

#include <algorithm>

namespace zc::codec::fmt {

LzwEncoder::LzwEncoder(int rootBits, size_t maxString)
    : rootBits_(rootBits),
      clearCode_(1 << rootBits),
      maxString_(std::max<size_t>(maxString, 1)),
      keys_(kHashSlots),
      codes_(kHashSlots) {
  resetTable();
}

void LzwEncoder::resetTable() {
  std::fill(keys_.begin(), keys_.end(), 0u);
  nextCode_ = clearCode_ + 2;
  width_ = rootBits_ + 1;
}

int LzwEncoder::find(int prefix, uint8_t byte, size_t* slot) const {
  const uint32_t key = ((static_cast<uint32_t>(prefix) << 8) | byte) + 1;
  size_t i = ((static_cast<size_t>(prefix) << 6) ^ (static_cast<size_t>(byte) * 40503u)) & (kHashSlots - 1);
  while (keys_[i] != 0) {
    if (keys_[i] == key) return codes_[i];
    i = (i + 1) & (kHashSlots - 1);
  }
  *slot = i;
  return -1;
}

void LzwEncoder::begin(LzwCodeSink& sink) {
  resetTable();
  current_ = -1;
  currentLength_ = 0;
  sink.put(clearCode_, width_);
}

void LzwEncoder::encode(const uint8_t* pixels, size_t count, LzwCodeSink& sink) {
  const uint8_t mask = static_cast<uint8_t>((1u << rootBits_) - 1);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = pixels[i] & mask;
    if (current_ < 0) {
      current_ = byte;
      currentLength_ = 1;
      continue;
    }
    size_t slot = 0;
    const int code = find(current_, byte, &slot);
    if (code >= 0 && currentLength_ < maxString_) {
      current_ = code;
      ++currentLength_;
      continue;
    }
    sink.put(current_, width_);
    if (nextCode_ >= kLzwTableSize) {
      // The table is full: a clear code (still at 12 bits) starts a new one.
      sink.put(clearCode_, width_);
      resetTable();
    } else {
      // The decoder adds an entry for every code, so a string cut at the length limit takes a code
      // too; only new strings become findable.
      if (code < 0) {
        keys_[slot] = ((static_cast<uint32_t>(current_) << 8) | byte) + 1;
        codes_[slot] = static_cast<uint16_t>(nextCode_);
      }
      ++nextCode_;
      // The decoder learns each entry one code later, so it widens when it has seen this many.
      if (nextCode_ > (1 << width_) && width_ < kLzwMaxBits) ++width_;
    }
    current_ = byte;
    currentLength_ = 1;
  }
}

void LzwEncoder::finish(LzwCodeSink& sink) {
  if (current_ >= 0) {
    sink.put(current_, width_);
    // The decoder adds its last entry on reading that code and may widen before the end code.
    if (nextCode_ > clearCode_ + 2 && nextCode_ >= (1 << width_) && width_ < kLzwMaxBits) ++width_;
  }
  sink.put(clearCode_ + 1, width_);
  current_ = -1;
  currentLength_ = 0;
}

}  // namespace zc::codec::fmt
