// LZW decoding with the GIF or TIFF code-width rule.
#include "codec/formats/lzw_decoder.h"

namespace zc::codec::fmt {

LzwDecoder::LzwDecoder(int rootBits, LzwRule rule)
    : rule_(rule), rootBits_(rootBits), clearCode_(1 << rootBits), endCode_((1 << rootBits) + 1) {
  for (int i = 0; i < clearCode_; ++i) {
    prefix_[i] = 0;
    suffix_[i] = static_cast<uint8_t>(i);
  }
  reset();
}

void LzwDecoder::reset() {
  nextCode_ = clearCode_ + 2;
  width_ = rootBits_ + 1;
  prev_ = -1;
}

int LzwDecoder::readCode(LzwByteSource& source) {
  while (bitCount_ < width_) {
    const int b = source.next();
    if (b < 0) return -1;
    if (rule_.order == LzwBitOrder::kLsbFirst) {
      bitBuffer_ |= static_cast<uint32_t>(b) << bitCount_;
    } else {
      bitBuffer_ = (bitBuffer_ << 8) | static_cast<uint32_t>(b);
    }
    bitCount_ += 8;
  }
  const uint32_t mask = (1u << width_) - 1;
  int code;
  if (rule_.order == LzwBitOrder::kLsbFirst) {
    code = static_cast<int>(bitBuffer_ & mask);
    bitBuffer_ >>= width_;
  } else {
    code = static_cast<int>((bitBuffer_ >> (bitCount_ - width_)) & mask);
  }
  bitCount_ -= width_;
  if (rule_.order == LzwBitOrder::kMsbFirst) bitBuffer_ &= (1u << bitCount_) - 1;
  return code;
}

LzwStatus LzwDecoder::read(LzwByteSource& source, uint8_t* out, size_t count, size_t* produced) {
  size_t n = 0;
  LzwStatus status = LzwStatus::kOk;
  while (n < count) {
    if (stackTop_ > 0) {
      out[n++] = stack_[--stackTop_];
      continue;
    }
    if (ended_) {
      status = LzwStatus::kEnd;
      break;
    }
    const int code = readCode(source);
    if (code < 0) {
      status = LzwStatus::kTruncated;
      break;
    }
    if (code == clearCode_) {
      reset();
      continue;
    }
    if (code == endCode_) {
      ended_ = true;
      continue;
    }
    if (prev_ < 0) {
      // The first code after a clear must be a single byte.
      if (code >= clearCode_) {
        status = LzwStatus::kBadCode;
        break;
      }
      stack_[stackTop_++] = static_cast<uint8_t>(code);
      prev_ = code;
      continue;
    }
    if (code > nextCode_ || (code == nextCode_ && nextCode_ >= kLzwTableSize)) {
      status = LzwStatus::kBadCode;
      break;
    }
    // Walk the string backwards onto the stack; prefixes are always smaller codes, so this ends.
    int cur = code;
    if (code == nextCode_) {
      stack_[stackTop_++] = 0;  // patched below with the string's first byte
      cur = prev_;
    }
    while (cur > endCode_) {
      stack_[stackTop_++] = suffix_[cur];
      cur = prefix_[cur];
    }
    const uint8_t first = static_cast<uint8_t>(cur);
    stack_[stackTop_++] = first;
    if (code == nextCode_) stack_[0] = first;
    if (nextCode_ < kLzwTableSize) {
      prefix_[nextCode_] = static_cast<uint16_t>(prev_);
      suffix_[nextCode_] = first;
      ++nextCode_;
      if (nextCode_ + rule_.earlyChange >= (1 << width_) && width_ < kLzwMaxBits) ++width_;
    }
    prev_ = code;
  }
  *produced = n;
  return status;
}

}  // namespace zc::codec::fmt
