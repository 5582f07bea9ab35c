// Bit reader over the entropy-coded segments of a JPEG stream (ITU-T T.81 F.2.2.5, B.1.1.5).
//
// 0xFF 0x00 yields 0xFF; 0xFF 0xFF drops the first 0xFF; at any other marker the reader stops consuming
// and supplies one-bits, so a damaged segment decodes to garbage but never reads past the window's fill.
// When the window runs dry the reader refills it itself, so blocks of any length decode.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/jpeg/decoder/jpeg_source.h"

namespace zc::jpegdec {

class BitReader {
 public:
  explicit BitReader(InputWindow& win) : win_(win) {}

  // Empties the bit buffer (restart markers, scan starts); the window position stays where it is.
  void Reset() {
    acc_ = 0;
    bits_ = 0;
    at_marker_ = false;
  }
  // True once the reader has stopped at a marker (or the end of the data).
  bool at_marker() const { return at_marker_; }

  void Fill() {
    // Common case: eight plain data bytes with the window well ahead, taken as one big-endian word.
    {
      const uint8_t* d = win_.data();
      size_t pos = win_.pos();
      if (!at_marker_ && win_.fill() - pos >= 8) {
        uint64_t word;
        std::memcpy(&word, d + pos, 8);
        // A byte of 0xFF becomes 0x00 in ~word; this detects any zero byte.
        const uint64_t inv = ~word;
        if (((inv - 0x0101010101010101ull) & ~inv & 0x8080808080808080ull) == 0) {
          const int take = (64 - bits_) >> 3;  // whole bytes that fit
          word = __builtin_bswap64(word);
          acc_ = take == 8 ? word : (acc_ << (8 * take)) | (word >> (64 - 8 * take));
          bits_ += 8 * take;
          win_.SetPos(pos + static_cast<size_t>(take));
          return;
        }
        while (bits_ <= 56 && d[pos] != 0xFF) {
          Push(d[pos++]);
        }
        win_.SetPos(pos);
      }
    }
    while (bits_ <= 56) {
      size_t pos = win_.pos();
      if (at_marker_) {
        Push(0xFF);
        continue;
      }
      if (win_.fill() - pos < 2 && !win_.exhausted()) {
        win_.Refill();
        pos = win_.pos();
      }
      size_t avail = win_.fill() - pos;
      if (avail == 0) {
        at_marker_ = true;
        continue;
      }
      uint8_t b = win_.data()[pos];
      if (b != 0xFF) {
        win_.SetPos(pos + 1);
        Push(b);
        continue;
      }
      if (avail < 2) {  // a lone 0xFF at the very end of the data
        at_marker_ = true;
        continue;
      }
      uint8_t n = win_.data()[pos + 1];
      if (n == 0x00) {
        win_.SetPos(pos + 2);
        Push(0xFF);
      } else if (n == 0xFF) {
        win_.SetPos(pos + 1);
      } else {
        at_marker_ = true;
      }
    }
  }

  uint32_t Peek(int n) {
    if (bits_ < n) Fill();
    return PeekHeld(n);
  }
  // Makes at least n (<= 57) bits available for the *Held accessors.
  void Need(int n) {
    if (bits_ < n) Fill();
  }
  uint32_t PeekHeld(int n) const { return static_cast<uint32_t>(acc_ >> (bits_ - n)) & ((1u << n) - 1); }
  uint32_t GetHeld(int n) {
    uint32_t v = n ? PeekHeld(n) : 0;
    bits_ -= n;
    return v;
  }
  void Skip(int n) { bits_ -= n; }
  uint32_t Get(int n) {
    if (n == 0) return 0;
    uint32_t v = Peek(n);
    bits_ -= n;
    return v;
  }
  int bits() const { return bits_; }

  // Hot loops keep the bit buffer in locals and hand it back around refills.
  uint64_t held() const { return acc_; }
  void Import(uint64_t acc, int bits) {
    acc_ = acc;
    bits_ = bits;
  }

 private:
  void Push(uint8_t b) {
    acc_ = (acc_ << 8) | b;
    bits_ += 8;
  }

  InputWindow& win_;
  uint64_t acc_ = 0;
  int bits_ = 0;
  bool at_marker_ = false;
};

// T.81 F.2.2.1 EXTEND: the s-bit magnitude category value v as a signed number.
inline int Extend(uint32_t v, int s) {
  return s == 0 ? 0 : (v < (1u << (s - 1)) ? static_cast<int>(v) - (1 << s) + 1 : static_cast<int>(v));
}

}  // namespace zc::jpegdec
