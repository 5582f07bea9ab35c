// Bit reader of the line decoders over the decoder's input buffer. Bits are taken most
// significant first; bytes at or beyond the readable end read as zero, and the reader
// notices when it has consumed past that end. Between lines only the bits of a partly
// used byte are kept, so the byte position can be handed back to the refill logic.
#pragma once

#include <cstdint>
#include <cstring>

namespace zc::codec {

struct FaxBitSource {
  const uint8_t* data;
  int64_t end;   // readable bytes
  int64_t pos;   // next byte to load
  uint64_t acc;  // loaded bits, left-aligned
  int bits;      // loaded bit count

  // Resumes from the saved state: `keptBits` (0..7) bits of the byte before `pos`,
  // left-aligned in `keptAcc`.
  FaxBitSource(const uint8_t* d, int64_t e, int64_t p, uint32_t keptAcc, int keptBits)
      : data(d), end(e), pos(p), acc(static_cast<uint64_t>(keptAcc) << 32), bits(keptBits) {
    if (bits < 0 || bits > 7) bits = 0;
    if (bits == 0) acc = 0;
  }

  void fill() {
    if (pos >= 0 && pos + 8 <= end) {
      // Eight bytes at once: the whole bytes that fit are counted; the bits of the next byte
      // that come along are loaded again, in the same place, by the next refill.
      uint64_t word;
      std::memcpy(&word, data + pos, sizeof word);
      acc |= __builtin_bswap64(word) >> bits;
      const int bytes = (63 - bits) >> 3;
      pos += bytes;
      bits += bytes * 8;
      return;
    }
    while (bits <= 56) {
      const uint64_t byte = pos < end && pos >= 0 ? data[pos] : 0;
      ++pos;
      acc |= byte << (56 - bits);
      bits += 8;
    }
  }
  uint32_t peek(int n) {
    if (bits < n) fill();
    return static_cast<uint32_t>(acc >> (64 - n));
  }
  void skip(int n) {
    acc <<= n;
    bits -= n;
  }
  uint32_t read(int n) {
    const uint32_t v = peek(n);
    skip(n);
    return v;
  }
  // Bit position of the next unread bit.
  int64_t consumed() const { return pos * 8 - bits; }
  bool overrun() const { return consumed() > end * 8; }
  void alignToByte() { skip(bits % 8); }

  // Gives back whole loaded bytes; the caller stores pos, acc and bits.
  void save(int64_t& outPos, uint32_t& outAcc, int32_t& outBits) {
    const int keep = bits % 8;
    outPos = pos - bits / 8;
    outAcc = static_cast<uint32_t>(acc >> 32) & ~(0xFFFFFFFFu >> keep);
    if (keep == 0) outAcc = 0;
    outBits = keep;
  }
};

}  // namespace zc::codec
