// Sequential Huffman block decoding (ITU-T T.81 F.2.2.1-F.2.2.2).
#include "codec/jpeg/decoder/jpeg_entropy.h"

#include <cstring>

#include "codec/jpeg/decoder/jpeg_zigzag.h"

namespace zc::jpegdec {

int DecodeBlock(BitReader& br, const HuffTable& dc, const HuffTable& ac, int& pred, int16_t coef[64]) {
  std::memset(coef, 0, 64 * sizeof(int16_t));
  uint64_t acc = br.held();
  int bits = br.bits();
  // At least 32 bits (the longest code and value, 16 + 15) before each symbol.
  auto need = [&] {
    if (bits < 32) {
      br.Import(acc, bits);
      br.Fill();
      acc = br.held();
      bits = br.bits();
    }
  };
  auto peek = [&](int n) { return static_cast<uint32_t>(acc >> (bits - n)) & ((1u << n) - 1); };
  auto symbol = [&](const HuffTable& t) -> int {
    uint32_t look = peek(8);
    int len = t.look_len[look];
    if (len) {
      bits -= len;
      return t.look_sym[look];
    }
    uint32_t code16 = peek(16);
    for (int l = 9; l <= 16; ++l) {
      int32_t code = static_cast<int32_t>(code16 >> (16 - l));
      if (code <= t.maxcode[l]) {
        bits -= l;
        return t.values[(t.valptr[l] + static_cast<unsigned>(code - t.mincode[l])) & 0xFF];
      }
    }
    br.Import(acc, bits);
    Fail(kErrBadCode);
  };
  auto value = [&](int s) {
    if (s == 0) return 0;
    uint32_t v = peek(s);
    bits -= s;
    return Extend(v, s);
  };

  need();
  int s = symbol(dc);  // category 0..15, checked when the table was built
  int diff = value(s);
  // The predictor is a 16-bit quantity; wrap rather than overflow on hostile differences.
  pred = static_cast<int16_t>(static_cast<uint16_t>(pred + diff));
  coef[0] = static_cast<int16_t>(pred);
  int last = 0;
  for (int k = 1; k < 64; ++k) {
    need();
    const int32_t fast = ac.fast_ac[peek(9)];
    const int kind = (fast >> 5) & 7;
    if (kind == kFastCoef) {
      bits -= fast & 31;
      k += (fast >> 12) & 15;
      coef[kZigzag[k]] = static_cast<int16_t>(fast >> 16);
      last = k;
      continue;
    }
    if (kind == kFastSymbol) {
      bits -= fast & 31;
      const int sz = (fast >> 8) & 15;
      k += (fast >> 12) & 15;
      coef[kZigzag[k]] = static_cast<int16_t>(value(sz));
      last = k;
      continue;
    }
    if (kind == kFastEob) {
      bits -= fast & 31;
      break;
    }
    if (kind == kFastZrl) {
      bits -= fast & 31;
      k += 15;
      continue;
    }
    int rs = symbol(ac);
    int r = rs >> 4;
    int sz = rs & 15;
    if (sz) {
      k += r;
      coef[kZigzag[k]] = static_cast<int16_t>(value(sz));  // k > 63 lands on the trailing zero entries
      last = k;
    } else if (r == 15) {
      k += 15;
    } else if (r == 0) {
      break;
    } else {
      br.Import(acc, bits);
      Fail(kErrBadRunSize);
    }
  }
  br.Import(acc, bits);
  return last;
}

}  // namespace zc::jpegdec
