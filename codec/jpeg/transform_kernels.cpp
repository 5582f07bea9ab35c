// The scalar kernel set and the run-time choice between it and the SIMD set.
#include "transform_kernels.h"

#include <cstring>

#include "block_fetch.h"
#include "color_convert.h"
#include "forward_dct.h"
#include "quantize.h"

namespace zc::jpeg {

namespace {

template <void (*Fetch)(const uint8_t*, size_t, int16_t*)>
void EncodeBlockScalar(const uint8_t* plane, size_t stride, const QuantDivisors& divisors, int16_t* out) {
  int16_t block[64];
  Fetch(plane, stride, block);
  ForwardDctScalar(block);
  QuantizeScalar(block, divisors, out);
}

uint64_t NonZeroMaskScalar(const int16_t* values) {
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k) mask |= static_cast<uint64_t>(values[k] != 0) << k;
  return mask;
}

void PointMasksScalar(const uint8_t* block, int al, uint64_t* nonzero, uint64_t* one) {
  uint64_t nz = 0, on = 0;
  for (int k = 0; k < 64; ++k) {
    int16_t v;
    std::memcpy(&v, block + 2 * k, sizeof v);
    const int a = (v < 0 ? -v : v) >> al;
    nz |= static_cast<uint64_t>(a != 0) << k;
    on |= static_cast<uint64_t>(a == 1) << k;
  }
  *nonzero = nz;
  *one = on;
}

}  // namespace

const TransformKernels& ScalarKernels() {
  static const TransformKernels kScalar = {"scalar",
                                           RgbToYccScalar,
                                           RgbToYScalar,
                                           FetchBlock1x1Scalar,
                                           FetchBlock2x2Scalar,
                                           ForwardDctScalar,
                                           QuantizeScalar,
                                           EncodeBlockScalar<FetchBlock1x1Scalar>,
                                           EncodeBlockScalar<FetchBlock2x2Scalar>,
                                           NonZeroMaskScalar,
                                           nullptr,
                                           nullptr,
                                           PointMasksScalar,
                                           ZigzagStoreScalar};
  return kScalar;
}

}  // namespace zc::jpeg
