// The scalar kernel set and the run-time choice between it and the SIMD set.
#include "transform_kernels.h"

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
                                           nullptr};
  return kScalar;
}

}  // namespace zc::jpeg
