// Bit writer of the entropy coder (ITU-T T.81 F.1.2.3 and B.1.1.5): bits are packed most significant first,
// every completed 0xFF byte is followed by a stuffed 0x00, and padding fills the last byte with 1-bits.
// Bits gather in a 64-bit word and reach the staging buffer eight bytes at a time; the bytes produced are
// the same as with byte-at-a-time packing.
#pragma once

#include <cstdint>

#include "output_stage.h"

namespace zc::jpeg {

class BitWriter {
 public:
  explicit BitWriter(OutputStage& out) : out_(out) {}

  // The accumulator as a hot loop holds it in locals: Load, PutBits on the copy, Store. Between Load and
  // Store only the copy may be used.
  struct Held {
    uint64_t acc;
    int free;
  };
  Held Load() const { return {acc_, free_}; }
  void Store(const Held& h) {
    acc_ = h.acc;
    free_ = h.free;
  }

  // Appends the low `count` bits of `bits` (count 0..32; higher bits must be 0).
  void PutBits(uint32_t bits, int count) {
    Held h = Load();
    PutBits(h, bits, count);
    Store(h);
  }
  void PutBits(Held& h, uint32_t bits, int count) {
    h.free -= count;
    if (h.free < 0) {
      // The word is full: emit it with the high part of the new bits, keep the rest.
      const uint64_t word = (h.acc << (count + h.free)) | (static_cast<uint64_t>(bits) >> -h.free);
      EmitWord(word);
      h.free += 64;
      h.acc = bits;
    } else {
      h.acc = (h.acc << count) | bits;
    }
  }

  // Completes the current byte with 1-bits and moves every whole byte to the staging buffer.
  void PadToByte();

 private:
  void EmitWord(uint64_t word) {
    // Fast path: no byte of the word is 0xFF, so no stuffing is needed.
    if ((word & 0x8080808080808080ULL & ~(word + 0x0101010101010101ULL)) == 0) {
      uint8_t* p = out_.Cursor();
      for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(word >> (56 - 8 * i));
      out_.Advance(8);
    } else {
      for (int i = 0; i < 8; ++i) EmitByte(static_cast<uint8_t>(word >> (56 - 8 * i)));
    }
  }
  void EmitByte(uint8_t b) {
    uint8_t* p = out_.Cursor();
    p[0] = b;
    if (b == 0xFF) {
      p[1] = 0;
      out_.Advance(2);
    } else {
      out_.Advance(1);
    }
  }

  OutputStage& out_;
  uint64_t acc_ = 0;
  int free_ = 64;  // free bits in acc_
};

}  // namespace zc::jpeg
