// LZW decoder shared by the GIF reader and the TIFF LZW strip reader. It pulls bytes from a
// source and produces exactly the number of output bytes asked for, keeping a partly delivered
// string for the next call, so rows can be decoded one band at a time. The string table never
// grows past 4096 entries: a stream that keeps coding without a clear code reuses the full table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/formats/lzw_rule.h"

namespace zc::codec::fmt {

// Supplies the coded bytes; -1 at the end of the data.
class LzwByteSource {
 public:
  virtual ~LzwByteSource() = default;
  virtual int next() = 0;
};

enum class LzwStatus {
  kOk,         // all bytes asked for were produced
  kEnd,        // the end code came first
  kBadCode,    // a code beyond the next free code, or a string code right after a clear
  kTruncated,  // the data ran out first
};

class LzwDecoder {
 public:
  // rootBits: 8 for TIFF, the GIF stream's minimum code size (1..8) for GIF.
  LzwDecoder(int rootBits, LzwRule rule);

  // Decodes up to `count` bytes into `out`; `*produced` receives how many were written.
  LzwStatus read(LzwByteSource& source, uint8_t* out, size_t count, size_t* produced);

 private:
  int readCode(LzwByteSource& source);
  void reset();

  LzwRule rule_;
  int rootBits_;
  int clearCode_;
  int endCode_;
  int nextCode_ = 0;
  int width_ = 0;
  int prev_ = -1;
  bool ended_ = false;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  uint16_t prefix_[kLzwTableSize];
  uint8_t suffix_[kLzwTableSize];
  uint8_t stack_[kLzwTableSize + 1];
  size_t stackTop_ = 0;  // pending bytes of the current string, last byte at the bottom
};

}  // namespace zc::codec::fmt
