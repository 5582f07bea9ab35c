// Sequential (baseline) Huffman block coder, ITU-T T.81 F.1.2.
#pragma once

#include <cstdint>

#include "bit_writer.h"
#include "huffman_code.h"

namespace zc::jpeg {

// Number of bits of |v| (T.81 "SSSS"), 0 for 0.
inline int MagnitudeCategory(int v) {
  const unsigned a = static_cast<unsigned>(v < 0 ? -v : v);
  return a == 0 ? 0 : 32 - __builtin_clz(a);
}

// The SSSS extra bits of v: v itself when positive, the low bits of v - 1 when negative.
inline uint32_t ExtraBits(int v, int category) {
  return static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << category) - 1u);
}

// Bit k set when values[k] is non-zero (64 values, 16-byte aligned); a kernel, so SIMD can compute it.
// coef must be 16-byte aligned.
using NonZeroMaskFn = uint64_t (*)(const int16_t* values);

// Codes one quantised block (natural order): the DC difference from *dc_pred (which takes the new DC), the
// AC run/size symbols in zig-zag order with ZRL and EOB. False when a symbol has no code.
bool EncodeSequentialBlock(const int16_t* coef, int* dc_pred, const HuffmanCode& dc, const HuffmanCode& ac,
                           BitWriter& out, NonZeroMaskFn nonzero_mask);

}  // namespace zc::jpeg
