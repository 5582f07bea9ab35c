// The compressor's output staging buffer: marker segments and entropy-coded bytes collect here and reach
// the caller's sink (a file or a memory block) in 8192-byte pieces, with one final piece at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace zc::jpeg {

// Writes n bytes at the current output position and returns how many were accepted.
using ByteSink = std::function<size_t(const uint8_t* data, size_t n)>;

class OutputStage {
 public:
  static constexpr size_t kCapacity = 16896;
  static constexpr size_t kFlushThreshold = 8192;

  explicit OutputStage(ByteSink sink);

  // Appends bytes; long runs (a large comment) are flushed on the way so the buffer never overflows.
  void Put(const uint8_t* data, size_t n);
  void PutByte(uint8_t b) { Put(&b, 1); }
  void PutU16(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    Put(b, 2);
  }

  // Writes exactly kFlushThreshold bytes when more than that are held. The entropy coder calls it after
  // every block, which keeps room for the next block's worst case.
  void FlushIfFull() {
    if (size_ > kFlushThreshold) FlushPiece();
  }
  // Writes everything held.
  void FlushAll();
  // Drops what has not been written yet.
  void Discard() { size_ = 0; }

  // Direct access for the bit writer; the caller guarantees Room() before writing.
  uint8_t* Cursor() { return buffer_.get() + size_; }
  void Advance(size_t n) { size_ += n; }
  size_t Room() const { return kCapacity - size_; }

  size_t Held() const { return size_; }
  uint64_t TotalBytes() const { return written_ + size_; }
  // True once the sink accepted fewer bytes than asked; later output is dropped.
  bool Failed() const { return failed_; }

 private:
  void FlushPiece();
  void WriteOut(const uint8_t* data, size_t n);

  ByteSink sink_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t size_ = 0;
  uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace zc::jpeg
