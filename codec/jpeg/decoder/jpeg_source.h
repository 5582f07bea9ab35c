// Byte sources and the input window the JPEG parser and entropy decoders read through.
//
// The window holds a few chunks of the stream; when a reader needs bytes that are not between the read
// position and the fill, the unread tail moves to the front and one more chunk is read behind it. Every
// access is bounded by the fill, so a hostile length or an endless entropy segment cannot read past what
// the source delivered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zc::jpegdec {

// Sequential reader of the stream's bytes from the current position on.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `count` bytes into `dst`; returns how many were read (0 at the end or on failure).
  virtual size_t Read(uint8_t* dst, size_t count) = 0;
};

// A caller's memory block.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(uint8_t* dst, size_t count) override {
    size_t n = count < size_ - pos_ ? count : size_ - pos_;
    if (n) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class InputWindow {
 public:
  static constexpr size_t kChunk = 8192;

  // `capacity` is the whole buffer (9216 for the baseline decoder, 17408 for the progressive one).
  InputWindow(ByteSource& source, size_t capacity) : source_(source), buf_(capacity) {}

  const uint8_t* data() const { return buf_.data(); }
  size_t pos() const { return pos_; }
  size_t fill() const { return fill_; }
  size_t available() const { return fill_ - pos_; }
  void Advance(size_t n) { pos_ += n; }
  void SetPos(size_t p) { pos_ = p; }
  uint8_t At(size_t offset) const { return buf_[pos_ + offset]; }
  bool exhausted() const { return exhausted_; }

  // Moves the unread tail to the front and reads one chunk (at most the room left) behind it.
  // Returns the number of bytes read.
  size_t Refill() {
    size_t tail = fill_ - pos_;
    if (pos_ && tail) std::memmove(buf_.data(), buf_.data() + pos_, tail);
    pos_ = 0;
    fill_ = tail;
    size_t room = buf_.size() - fill_;
    size_t want = room < kChunk ? room : kChunk;
    size_t got = want ? source_.Read(buf_.data() + fill_, want) : 0;
    if (want && got == 0) exhausted_ = true;
    fill_ += got;
    return got;
  }

  // Makes at least `n` bytes available (n <= capacity); false when the stream ends first.
  bool Ensure(size_t n) {
    while (available() < n) {
      if (exhausted_ || Refill() == 0) return false;
    }
    return true;
  }

  // Refills when fewer than `margin` bytes remain (the entropy decoders' look-ahead margin).
  void KeepMargin(size_t margin) {
    if (available() < margin && !exhausted_) Refill();
  }

  // Drops everything held and reads one chunk from the start of the buffer.
  size_t Restart() {
    pos_ = fill_ = 0;
    return Refill();
  }

 private:
  ByteSource& source_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  size_t fill_ = 0;
  bool exhausted_ = false;
};

}  // namespace zc::jpegdec
