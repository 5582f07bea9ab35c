// Block fetch: one 8 x 8 block from a sample plane, down-sampled by box averaging where the component is
// sub-sampled, minus 128 (the level shift of ITU-T T.81 A.3.1).
#include "block_fetch.h"

namespace zc::jpeg {

void FetchBlock1x1Scalar(const uint8_t* plane, size_t stride, int16_t* block) {
  for (int y = 0; y < 8; ++y, plane += stride) {
    for (int x = 0; x < 8; ++x) block[8 * y + x] = static_cast<int16_t>(plane[x] - 128);
  }
}

void FetchBlock2x2Scalar(const uint8_t* plane, size_t stride, int16_t* block) {
  for (int y = 0; y < 8; ++y, plane += 2 * stride) {
    const uint8_t* r0 = plane;
    const uint8_t* r1 = plane + stride;
    for (int x = 0; x < 8; ++x) {
      const int bias = 1 + (x & 1);  // alternating bias keeps the rounding unbiased
      const int sum = r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1];
      block[8 * y + x] = static_cast<int16_t>(((sum + bias) >> 2) - 128);
    }
  }
}

}  // namespace zc::jpeg
