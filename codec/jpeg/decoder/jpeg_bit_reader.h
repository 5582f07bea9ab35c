// Bit reader over the entropy-coded segments of a JPEG stream (ITU-T T.81 F.2.2.5, B.1.1.5).
//
// 0xFF 0x00 yields 0xFF; 0xFF 0xFF drops the first 0xFF; at any other marker the reader stops consuming
// and supplies one-bits, so a damaged segment decodes to garbage but never reads past the window's fill.
// When the window runs dry the reader refills it itself, so blocks of any length decode. The bits sit in
// a 64-bit word, first bit on top, topped up eight bytes at a time while no 0xFF byte and no window end
// is within reach, byte by byte otherwise.
#pragma once

#include <bit>
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
    if (!FillFast(acc_, bits_)) FillSlow();
  }

  // Tops up a bit buffer held in the caller's locals (acc, bits in the layout of held()) to more than 56
  // bits.
  void Fill(uint64_t& acc, int& bits) {
    if (FillFast(acc, bits)) return;
    acc_ = acc;
    bits_ = bits;
    FillSlow();
    acc = acc_;
    bits = bits_;
  }

  uint32_t Peek(int n) {
    if (bits_ < n) Fill();
    return PeekHeld(n);
  }
  // Makes at least n (<= 57) bits available for the *Held accessors.
  void Need(int n) {
    if (bits_ < n) Fill();
  }
  // n is 1..32.
  uint32_t PeekHeld(int n) const { return static_cast<uint32_t>(acc_ >> (64 - n)); }
  uint32_t GetHeld(int n) {
    if (n == 0) return 0;
    uint32_t v = PeekHeld(n);
    Skip(n);
    return v;
  }
  void Skip(int n) {
    acc_ <<= n;
    bits_ -= n;
  }
  uint32_t Get(int n) {
    if (n == 0) return 0;
    uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  int bits() const { return bits_; }

  // Hot loops keep the bit buffer in locals and hand it back around refills and failures. Layout: the
  // next `bits` bits of the segment in the top of the word, first bit in bit 63; the bits below are zero.
  uint64_t held() const { return acc_; }
  void Import(uint64_t acc, int bits) {
    acc_ = acc;
    bits_ = bits;
  }

 private:
  static void Push(uint64_t& acc, int& bits, uint8_t b) {
    acc |= static_cast<uint64_t>(b) << (56 - bits);
    bits += 8;
  }

  // The common case: plain data bytes with the window well ahead, taken from one big-endian word as far
  // as they fit and up to the first 0xFF byte. False when the buffer still needs bytes that only the
  // byte-by-byte path can judge (a 0xFF byte, a marker, the window's fill).
  bool FillFast(uint64_t& acc, int& bits) {
    const size_t pos = win_.pos();
    if (at_marker_ || win_.fill() - pos < 8) return false;
    uint64_t word;
    std::memcpy(&word, win_.data() + pos, 8);
    int take = (64 - bits) >> 3;  // whole bytes that fit
    // A byte of 0xFF becomes 0x00 in ~word; this flags the first zero byte exactly (later flags may be
    // false ones from the borrow, which do not matter).
    const uint64_t inv = ~word;
    const uint64_t ff = (inv - 0x0101010101010101ull) & ~inv & 0x8080808080808080ull;
    // Bytes before the first 0xFF; the word's first byte is its lowest on a little-endian machine.
    int plain = 8;
    if (ff)
      plain = (std::endian::native == std::endian::little ? __builtin_ctzll(ff) : __builtin_clzll(ff)) >> 3;
    const bool done = plain >= take;
    if (!done) take = plain;
    if (take == 0) return done;
    // Bits below the held ones stay zero, so later bytes can be merged in by OR.
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    word &= ~uint64_t{0} << (64 - 8 * take);
    acc |= word >> bits;
    bits += 8 * take;
    win_.SetPos(pos + static_cast<size_t>(take));
    return done;
  }

  // Byte-by-byte filling with marker handling (rare: near a 0xFF byte, a marker or the window's end).
  [[gnu::noinline]] void FillSlow() {
    uint64_t& acc = acc_;
    int& bits = bits_;
    if (!at_marker_ && win_.fill() - win_.pos() >= 8) {
      // Plain bytes up to the 0xFF the fast path stopped at.
      const uint8_t* d = win_.data();
      size_t at = win_.pos();
      while (bits <= 56 && d[at] != 0xFF) {
        Push(acc, bits, d[at++]);
      }
      win_.SetPos(at);
    }
    while (bits <= 56) {
      size_t pos = win_.pos();
      if (at_marker_) {
        Push(acc, bits, 0xFF);
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
        Push(acc, bits, b);
        continue;
      }
      if (avail < 2) {  // a lone 0xFF at the very end of the data
        at_marker_ = true;
        continue;
      }
      uint8_t n = win_.data()[pos + 1];
      if (n == 0x00) {
        win_.SetPos(pos + 2);
        Push(acc, bits, 0xFF);
      } else if (n == 0xFF) {
        win_.SetPos(pos + 1);
      } else {
        at_marker_ = true;
      }
    }
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
