// Huffman code derivation (ITU-T T.81 C.1, C.2) and optimal table generation (T.81 K.2, Figures K.1-K.4).
#include "huffman_code.h"

namespace zc::jpeg {

bool DeriveHuffmanCode(const HuffmanSpec& spec, HuffmanCode* out) {
  *out = HuffmanCode{};
  if (spec.ValueCount() > 256) return false;
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    for (int i = 0; i < spec.bits[len - 1]; ++i, ++k) {
      const uint8_t symbol = spec.values[k];
      out->code[symbol] = static_cast<uint16_t>(code);
      out->length[symbol] = static_cast<uint8_t>(len);
      out->packed[symbol] = (code << 8) | static_cast<uint32_t>(len);
      ++code;
    }
    // All codes of this length must fit in `len` bits (T.81 C.2).
    if (code > (1u << len)) return false;
    code <<= 1;
  }
  return true;
}

HuffmanSpec BuildOptimalHuffmanSpec(const SymbolCounts& counts) {
  std::array<int64_t, 257> freq{};
  for (int i = 0; i < 257; ++i) freq[i] = counts[i];
  freq[256] = 1;  // reserved symbol: no real code is all ones
  std::array<int, 257> codesize{};
  std::array<int, 257> others;
  others.fill(-1);

  for (;;) {
    // c1: smallest non-zero frequency, the larger symbol on ties; c2: the next smallest.
    int c1 = -1;
    int64_t v = INT64_MAX;
    for (int i = 0; i <= 256; ++i) {
      if (freq[i] && freq[i] <= v) {
        v = freq[i];
        c1 = i;
      }
    }
    int c2 = -1;
    v = INT64_MAX;
    for (int i = 0; i <= 256; ++i) {
      if (freq[i] && freq[i] <= v && i != c1) {
        v = freq[i];
        c2 = i;
      }
    }
    if (c2 < 0) break;
    freq[c1] += freq[c2];
    freq[c2] = 0;
    ++codesize[c1];
    while (others[c1] >= 0) {
      c1 = others[c1];
      ++codesize[c1];
    }
    others[c1] = c2;
    ++codesize[c2];
    while (others[c2] >= 0) {
      c2 = others[c2];
      ++codesize[c2];
    }
  }

  std::array<int, 33> bits{};
  for (int i = 0; i <= 256; ++i) {
    if (codesize[i]) bits[codesize[i] < 32 ? codesize[i] : 32]++;
  }
  // K.2 Figure K.3: limit lengths to 16.
  for (int i = 32; i > 16; --i) {
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0) --j;
      bits[i] -= 2;
      bits[i - 1]++;
      bits[j + 1] += 2;
      bits[j]--;
    }
  }
  // Remove the reserved symbol's code (the longest).
  int i = 16;
  while (bits[i] == 0) --i;
  bits[i]--;

  HuffmanSpec spec;
  for (int len = 1; len <= 16; ++len) spec.bits[len - 1] = static_cast<uint8_t>(bits[len]);
  int p = 0;
  for (int len = 1; len <= 32; ++len) {
    for (int s = 0; s < 256; ++s) {
      if (codesize[s] == len) spec.values[p++] = static_cast<uint8_t>(s);
    }
  }
  return spec;
}

}  // namespace zc::jpeg
