// Canonical Huffman table construction for the JPEG decoder (ITU-T T.81 C.2 and F.2.2.3).
#include "codec/jpeg/decoder/jpeg_huffman.h"

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {

void BuildHuffTable(HuffTable& t, uint8_t table_class, uint8_t id, const uint8_t bits[16],
                    const uint8_t* values) {
  t = HuffTable{};
  t.table_class = table_class;
  t.id = id;
  unsigned total = 0;
  for (int i = 0; i < 16; ++i) {
    t.bits[i] = bits[i];
    total += bits[i];
  }
  if (total > 256) Fail(kErrHuffTooMany);
  t.count = static_cast<uint16_t>(total);
  for (unsigned i = 0; i < total; ++i) {
    // DC categories above 15 have no meaning in any T.81 mode and would shift past the coefficient width.
    if (table_class == 0 && values[i] > 15) Fail(kErrHuffCount);
    t.values[i] = values[i];
  }

  // Canonical code assignment; a code that no longer fits its length means the lengths over-subscribe.
  uint32_t code = 0;
  unsigned k = 0;
  for (int len = 1; len <= 16; ++len) {
    unsigned n = bits[len - 1];
    if (n == 0) {
      t.maxcode[len] = -1;
    } else {
      t.valptr[len] = static_cast<uint16_t>(k);
      t.mincode[len] = static_cast<int32_t>(code);
      code += n;
      if (code > (1u << len)) Fail(kErrHuffCount);
      t.maxcode[len] = static_cast<int32_t>(code - 1);
      if (len <= 8) {
        for (uint32_t c = static_cast<uint32_t>(t.mincode[len]); c < code; ++c, ++k) {
          uint32_t first = c << (8 - len);
          uint32_t span = 1u << (8 - len);
          for (uint32_t j = 0; j < span; ++j) {
            t.look_len[first + j] = static_cast<uint8_t>(len);
            t.look_sym[first + j] = t.values[k];
          }
        }
      } else {
        k += n;
      }
    }
    code <<= 1;
  }
  t.maxcode[17] = 0x7FFFFFFF;

  if (table_class == 1) {
    for (uint32_t look = 0; look < 512; ++look) {
      int len = t.look_len[look >> 1];
      if (len == 0) continue;
      uint8_t rs = t.look_sym[look >> 1];
      int run = rs >> 4, size = rs & 15;
      int32_t entry = len | (kFastSymbol << 5) | (rs << 8);
      if (size == 0) {
        // Runs 1..14 without a size are invalid: left to the slow path, which refuses them.
        entry = run == 0 ? len | (kFastEob << 5) : (run == 15 ? len | (kFastZrl << 5) : 0);
      } else if (len + size <= 9) {
        uint32_t v = (look >> (9 - len - size)) & ((1u << size) - 1);
        int value = v < (1u << (size - 1)) ? static_cast<int>(v) - (1 << size) + 1 : static_cast<int>(v);
        entry = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) | (rs << 8) | (kFastCoef << 5) |
                (len + size);
      }
      t.fast_ac[look] = entry;
    }
  }
}

}  // namespace zc::jpegdec
