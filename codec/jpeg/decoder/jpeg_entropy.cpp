// Sequential Huffman block decoding (ITU-T T.81 F.2.2.1-F.2.2.2).
//
// The bit buffer lives in locals for the whole block, first bit at the top of a 64-bit word, and is
// topped up (to more than 56 bits) whenever fewer than 32 bits, the longest code and value, are held at
// the start of a symbol. Most AC symbols resolve through one look-up of kFastAcBits bits that yields the
// run, the bits to consume and, when they fit, the coefficient value; values that do not fit are read
// and extended without branches. EOB, ZRL, long codes and invalid symbols leave the common path.
#include "codec/jpeg/decoder/jpeg_entropy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/jpeg/decoder/jpeg_zigzag.h"

namespace zc::jpegdec {
namespace {

// T.81 EXTEND of the top s (0..15) bits of `bits` without branches: the first value bit is 0 exactly for
// the negative half.
inline int Extended(uint64_t bits, int s) {
  const int v = static_cast<int>((bits >> 1) >> (63 - s));
  const int adjust = static_cast<int>(static_cast<int64_t>(~bits) >> 63) & ((1 << s) - 1);
  return v - adjust;
}

// The bit buffer in the layout of BitReader::held(), passed from block to block in registers, and what a
// block decode returns.
struct Held {
  uint64_t acc;
  int32_t bits;
  int32_t last;
};

// One block, the bit buffer handed in and back by value; on a failure it goes back to the reader before
// the throw. Kept out of line: its loop needs nearly every register, and inlined into a loop over blocks it
// would keep the bit buffer in memory.
[[gnu::noinline]] Held DecodeHeld(BitReader& br, uint64_t acc, int bits, const HuffTable& dc,
                                  const HuffTable& ac, int& pred, int16_t coef[64]) {
#if defined(__SSE2__)
  // Cleared with plain vector stores, written out rather than looped: the compiler turns a loop of them
  // into a string store, which starts up slower than the whole block takes.
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 8), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 16), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 24), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 32), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 40), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 48), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 56), zero);
#else
  std::memset(coef, 0, 64 * sizeof(int16_t));
#endif
  auto need = [&] {
    if (bits < 32) br.Fill(acc, bits);
  };
  auto consume = [&](int n) {
    acc <<= n;
    bits -= n;
  };
  // EXTEND of the next s bits, which are consumed.
  auto value = [&](int s) {
    const int v = Extended(acc, s);
    consume(s);
    return v;
  };
  auto symbol = [&](const HuffTable& t) -> int {
    const uint32_t look = static_cast<uint32_t>(acc >> 56);
    const int len = t.look_len[look];
    if (len) {
      consume(len);
      return t.look_sym[look];
    }
    const uint32_t code16 = static_cast<uint32_t>(acc >> 48);
    for (int l = 9; l <= 16; ++l) {
      const int32_t code = static_cast<int32_t>(code16 >> (16 - l));
      if (code <= t.maxcode[l]) {
        consume(l);
        return t.values[(t.valptr[l] + static_cast<unsigned>(code - t.mincode[l])) & 0xFF];
      }
    }
    br.Import(acc, bits);
    Fail(kErrBadCode);
  };

  need();
  const int category = symbol(dc);  // 0..15, checked when the table was built
  const int diff = value(category);
  // The predictor is a 16-bit quantity; wrap rather than overflow on hostile differences.
  pred = static_cast<int16_t>(static_cast<uint16_t>(pred + diff));
  coef[0] = static_cast<int16_t>(pred);
  // k is the zig-zag position the next symbol starts at; where the block ends tells whether it has AC
  // terms, so no separate note of the last one is kept (the loop is short of registers as it is).
  int k = 1;
  while (k < 64) {
    need();
    const int32_t e = ac.fast_ac[acc >> (64 - kFastAcBits)];
    if (FastResolved(e)) [[likely]] {
      // Code and value resolved by the look-up: one shift takes both.
      acc <<= (e & 63);  // FastConsumed(e), straight from the entry
      bits -= FastConsumed(e);
      k += FastRun(e);
      coef[kZigzag[k]] = static_cast<int16_t>(FastValue(e));  // k > 63 lands on the trailing entries
      ++k;
      continue;
    }
    const int kind = FastKind(e);
    if (kind == kFastCoef) {
      const int s = FastPending(e);
      k += FastRun(e);
      // Value bits past the look-up: one shift takes code and value bits; the value is read from a
      // copy, so it stays off the chain from one symbol to the next.
      const uint64_t vbits = acc << (FastConsumed(e) - s);
      acc <<= (e & 63);
      bits -= FastConsumed(e);
      coef[kZigzag[k]] = static_cast<int16_t>(Extended(vbits, s));
      ++k;
      continue;
    }
    if (kind == kFastEob) {
      consume(FastConsumed(e));
      break;
    }
    if (kind == kFastZrl) {
      consume(FastConsumed(e));
      k += 16;
      continue;
    }
    const int rs = symbol(ac);
    const int r = rs >> 4;
    const int sz = rs & 15;
    if (sz) {
      k += r;
      coef[kZigzag[k]] = static_cast<int16_t>(value(sz));
      ++k;
    } else if (r == 15) {
      k += 16;
    } else if (r == 0) {
      break;
    } else {
      br.Import(acc, bits);
      Fail(kErrBadRunSize);
    }
  }
  return {acc, bits, k - 1};
}

}  // namespace

int DecodeBlock(BitReader& br, const HuffTable& dc, const HuffTable& ac, int& pred, int16_t coef[64]) {
  const Held h = DecodeHeld(br, br.held(), br.bits(), dc, ac, pred, coef);
  br.Import(h.acc, h.bits);
  return h.last;
}

void DecodeBlocks(BitReader& br, const BlockCoding* coding, int n, int16_t* coef, int* last) {
  Held h{br.held(), br.bits(), 0};
  for (int i = 0; i < n; ++i) {
    h = DecodeHeld(br, h.acc, h.bits, *coding[i].dc, *coding[i].ac, *coding[i].pred, coef + 64 * i);
    last[i] = h.last;
  }
  br.Import(h.acc, h.bits);
}

}  // namespace zc::jpegdec
