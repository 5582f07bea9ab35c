// Sequential (baseline) Huffman block decoding, ITU-T T.81 F.2.2.
//
// One call decodes one 8x8 block: the DC difference added to the component's predictor, then the AC
// run/size symbols placed in natural order. Coefficients are kept as quantised values (16-bit).
#pragma once

#include <cstdint>

#include "codec/jpeg/decoder/jpeg_bit_reader.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_huffman.h"

namespace zc::jpegdec {

// Decodes one Huffman symbol from at least 16 held bits; throws 34 for a code that no table entry matches.
inline int DecodeSymbolHeld(BitReader& br, const HuffTable& t) {
  uint32_t look = br.PeekHeld(8);
  int len = t.look_len[look];
  if (len) {
    br.Skip(len);
    return t.look_sym[look];
  }
  uint32_t code16 = br.PeekHeld(16);
  for (int l = 9; l <= 16; ++l) {
    int32_t code = static_cast<int32_t>(code16 >> (16 - l));
    if (code <= t.maxcode[l]) {
      br.Skip(l);
      unsigned idx = t.valptr[l] + static_cast<unsigned>(code - t.mincode[l]);
      return t.values[idx & 0xFF];
    }
  }
  Fail(kErrBadCode);
}

inline int DecodeSymbol(BitReader& br, const HuffTable& t) {
  br.Need(16);
  return DecodeSymbolHeld(br, t);
}

// Decodes one sequential block into `coef` (natural order, cleared first). `pred` is the DC predictor.
// Returns 0 when only the DC term was coded, otherwise the zig-zag position the block's coding ended at,
// which is at or after the last coefficient written.
int DecodeBlock(BitReader& br, const HuffTable& dc, const HuffTable& ac, int& pred, int16_t coef[64]);

// How one block of an MCU is coded: its tables and its component's DC predictor.
struct BlockCoding {
  const HuffTable* dc = nullptr;
  const HuffTable* ac = nullptr;
  int* pred = nullptr;
};

// Decodes the `n` blocks of one MCU back to back, block i as coding[i] says into coef + 64 * i, with
// last[i] as DecodeBlock returns it. The bit buffer stays in registers from the first block to the last.
void DecodeBlocks(BitReader& br, const BlockCoding* coding, int n, int16_t* coef, int* last);

}  // namespace zc::jpegdec
