// Sequential Huffman block coder (ITU-T T.81 F.1.2.1 DC difference, F.1.2.2 AC run/size coding).
#include "sequential_coder.h"

#include "jpeg_tables.h"

namespace zc::jpeg {
namespace {

// kZigzagBits[b][x]: the zig-zag positions of the set bits of byte b (natural positions 8b..8b+7) of a
// natural-order mask, as a zig-zag-order mask. Eight lookups permute a whole mask.
struct ZigzagBitTable {
  uint64_t bits[8][256];
  ZigzagBitTable() {
    int zigzag_of[64];
    for (int k = 0; k < 64; ++k) zigzag_of[kZigzagToNatural[k]] = k;
    for (int b = 0; b < 8; ++b) {
      for (int x = 0; x < 256; ++x) {
        uint64_t m = 0;
        for (int i = 0; i < 8; ++i) {
          if (x & (1 << i)) m |= uint64_t{1} << zigzag_of[8 * b + i];
        }
        bits[b][x] = m;
      }
    }
  }
};

// Built when the library loads, so the per-block look-ups pay no guard for a function-local static.
const ZigzagBitTable kZigzagBits;

[[gnu::always_inline]] inline uint64_t ToZigzagMask(uint64_t natural) {
  uint64_t m = 0;
  for (int b = 0; b < 8; ++b) m |= kZigzagBits.bits[b][(natural >> (8 * b)) & 0xFF];
  return m;
}

}  // namespace

bool EncodeSequentialBlock(const int16_t* coef, int* dc_pred, const HuffmanCode& dc, const HuffmanCode& ac,
                           BitWriter& out, NonZeroMaskFn nonzero_mask) {
  const int diff = coef[0] - *dc_pred;
  *dc_pred = coef[0];
  int size = MagnitudeCategory(diff);
  if (size > 15 || dc.length[size] == 0) return false;
  // The accumulator stays in registers for the block: the output bytes it emits cannot alias it.
  BitWriter::Held held = out.Load();
  out.PutBits(held, (static_cast<uint32_t>(dc.code[size]) << size) | ExtraBits(diff, size),
              dc.length[size] + size);

  // A zig-zag-order mask of the non-zero AC positions; the walk visits only those, and a run of zeros is
  // the distance between two of them.
  const uint64_t nonzero = ToZigzagMask(nonzero_mask(coef)) & ~uint64_t{1};

  bool ok = true;
  int last = 0;
  for (uint64_t rest = nonzero; rest != 0; rest &= rest - 1) {
    const int k = __builtin_ctzll(rest);
    int run = k - last - 1;
    last = k;
    while (run > 15) [[unlikely]] {
      if (ac.length[0xF0] == 0) {
        ok = false;
        break;
      }
      out.PutBits(held, ac.code[0xF0], ac.length[0xF0]);
      run -= 16;
    }
    const int v = coef[kZigzagToNatural[k]];
    size = MagnitudeCategory(v);
    const uint32_t packed = size > 15 ? 0 : ac.packed[(run << 4) | size];
    if (!ok || packed == 0) [[unlikely]] {
      ok = false;
      break;
    }
    out.PutBits(held, ((packed >> 8) << size) | ExtraBits(v, size), static_cast<int>(packed & 0xFF) + size);
  }
  if (ok && last != 63) {
    if (ac.length[0] == 0) {
      ok = false;
    } else {
      out.PutBits(held, ac.code[0], ac.length[0]);
    }
  }
  out.Store(held);
  return ok;
}

}  // namespace zc::jpeg
