// Canonical Huffman table construction for the JPEG decoder (ITU-T T.81 C.2 and F.2.2.3).
#include "codec/jpeg/decoder/jpeg_huffman.h"

#include "codec/jpeg/decoder/jpeg_bit_reader.h"
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
    // Canonical codes of up to kFastAcBits bits, each filling the entries that begin with it.
    t.fast_ac.fill(FastAcEntry(0, 0, 0, kFastNone, 0));
    uint32_t c = 0;
    unsigned idx = 0;
    for (int len = 1; len <= kFastAcBits; ++len) {
      for (unsigned i = 0; i < bits[len - 1]; ++i, ++c, ++idx) {
        const uint8_t rs = t.values[idx];
        const int run = rs >> 4, size = rs & 15;
        const uint32_t first = c << (kFastAcBits - len);
        for (uint32_t look = first; look < first + (1u << (kFastAcBits - len)); ++look) {
          int32_t entry;
          if (size == 0) {
            // Runs 1..14 without a size are invalid: left to the symbol decoder, which refuses them.
            entry = run == 0    ? FastAcEntry(len, 0, 0, kFastEob, 0)
                    : run == 15 ? FastAcEntry(len, 0, 0, kFastZrl, 0)
                                : FastAcEntry(0, 0, 0, kFastNone, 0);
          } else if (len + size <= kFastAcBits) {
            const uint32_t v = (look >> (kFastAcBits - len - size)) & ((1u << size) - 1);
            entry = FastAcEntry(len + size, 0, run, kFastCoef, Extend(v, size));
          } else {
            entry = FastAcEntry(len + size, size, run, kFastCoef, 0);
          }
          t.fast_ac[look] = entry;
        }
      }
      c <<= 1;
    }
  }
}

}  // namespace zc::jpegdec
