// Quantisation of AAN-scaled coefficients: rounded division by the divisor table, sign kept; and the
// zig-zag reordering of a quantised block for the progressive store.
#pragma once

#include <cstdint>

#include "transform_kernels.h"

namespace zc::jpeg {

void QuantizeScalar(const int16_t* in, const QuantDivisors& divisors, int16_t* out);

// The block in zig-zag order at `out` (any alignment): the scalar zigzag_store kernel.
void ZigzagStoreScalar(const int16_t* natural, uint8_t* out);

// The plain rounded division that QuantizeScalar computes by reciprocal.
int QuantizeReference(int x, int divisor);

}  // namespace zc::jpeg
