// Quarter and half turns of packed 1-bit strips. Quarter turns transpose 8 x 8 pixel
// blocks; a half turn reverses the byte order and the bits of every byte.
#include "codec/bilevel/strip_transform.h"

#include "codec/bilevel/bit_ops.h"

namespace zc::codec {
namespace {

// Transposes an 8 x 8 block: in[r] bit (7 - c) becomes out[c] bit (7 - r).
void transpose8(const uint8_t in[8], uint8_t out[8]) {
  uint64_t x = 0;
  for (int r = 0; r < 8; ++r) x |= static_cast<uint64_t>(in[r]) << (56 - 8 * r);
  if (x == 0) {
    for (int c = 0; c < 8; ++c) out[c] = 0;
    return;
  }
  // Hacker's Delight transpose of an 8 x 8 bit matrix held row-major, MSB first.
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
  x = x ^ t ^ (t << 28);
  for (int c = 0; c < 8; ++c) out[c] = static_cast<uint8_t>(x >> (56 - 8 * c));
}

}  // namespace

void funcBilevelTransformLine(const ImageView* view, const uint8_t* source, uint8_t* destination,
                              size_t byteCount) {
  const int rotation = view->rotation;
  const int lines = view->linesInStrip;
  const int pixels = view->outLineWidth;
  if (rotation < 1 || rotation > 3 || lines <= 0 || pixels <= 0 || lines % 8 != 0 || pixels % 8 != 0) return;
  const size_t srcStride = static_cast<size_t>(pixels) / 8;
  const size_t total = srcStride * static_cast<size_t>(lines);
  if (total > byteCount) return;
  if (rotation == 2) {
    for (size_t i = 0; i < total; ++i) destination[total - 1 - i] = kBitReverse[source[i]];
    return;
  }
  const size_t dstStride = static_cast<size_t>(lines) / 8;  // destination: `pixels` lines
  uint8_t in[8];
  uint8_t out[8];
  for (int rb = 0; rb < lines / 8; ++rb) {
    for (size_t cb = 0; cb < srcStride; ++cb) {
      for (int r = 0; r < 8; ++r) in[r] = source[(static_cast<size_t>(rb) * 8 + r) * srcStride + cb];
      transpose8(in, out);
      // out[c] holds source column cb*8+c, source lines rb*8..rb*8+7 from the MSB.
      for (int c = 0; c < 8; ++c) {
        const size_t srcCol = cb * 8 + c;
        if (rotation == 1) {
          // Source line r goes to destination column L-1-r: the bits come out mirrored.
          destination[srcCol * dstStride + (dstStride - 1 - rb)] = kBitReverse[out[c]];
        } else {
          destination[(static_cast<size_t>(pixels) - 1 - srcCol) * dstStride + rb] = out[c];
        }
      }
    }
  }
}

}  // namespace zc::codec
