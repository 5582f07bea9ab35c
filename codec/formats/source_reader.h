// Buffered byte reading of a decompression source (file or memory) from a given position, in
// reads of 8192 bytes. Running out of data is reported, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/core/img_desc.h"

namespace zc::codec::fmt {

class SourceReader {
 public:
  explicit SourceReader(ImgDecompDesc* desc) : desc_(desc), buffer_(kChunk) {}

  // Positions the source; false when the seek fails.
  bool seek(int64_t position);
  // Next byte, or -1 at the end of the data (or on a read error).
  int next() {
    if (index_ == fill_ && !refill()) return -1;
    return buffer_[index_++];
  }
  // Copies up to `count` bytes; returns how many were available.
  size_t read(uint8_t* out, size_t count);
  // Skips `count` bytes; false when the data ends first.
  bool skip(size_t count);
  // Absolute source position of the next byte.
  int64_t tell() const { return base_ + static_cast<int64_t>(index_); }

 private:
  bool refill();

  static constexpr size_t kChunk = 8192;
  ImgDecompDesc* desc_;
  std::vector<uint8_t> buffer_;
  size_t index_ = 0;
  size_t fill_ = 0;
  int64_t base_ = 0;  // source position of buffer_[0]
  bool ended_ = false;
};

}  // namespace zc::codec::fmt
