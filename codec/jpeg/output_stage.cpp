// Output staging buffer of the JPEG compressor.
#include "output_stage.h"

#include <cstring>

namespace zc::jpeg {

OutputStage::OutputStage(ByteSink sink) : sink_(std::move(sink)), buffer_(new uint8_t[kCapacity]) {}

void OutputStage::WriteOut(const uint8_t* data, size_t n) {
  if (failed_ || n == 0) return;
  const size_t done = sink_(data, n);
  written_ += done;
  if (done != n) failed_ = true;
}

void OutputStage::FlushPiece() {
  WriteOut(buffer_.get(), kFlushThreshold);
  std::memmove(buffer_.get(), buffer_.get() + kFlushThreshold, size_ - kFlushThreshold);
  size_ -= kFlushThreshold;
}

void OutputStage::FlushAll() {
  WriteOut(buffer_.get(), size_);
  size_ = 0;
}

void OutputStage::Put(const uint8_t* data, size_t n) {
  while (n > 0) {
    const size_t chunk = n < Room() ? n : Room();
    std::memcpy(buffer_.get() + size_, data, chunk);
    size_ += chunk;
    data += chunk;
    n -= chunk;
    FlushIfFull();
  }
}

}  // namespace zc::jpeg
