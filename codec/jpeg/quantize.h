// Quantisation of AAN-scaled coefficients: rounded division by the divisor table, sign kept.
#pragma once

#include <cstdint>

#include "transform_kernels.h"

namespace zc::jpeg {

void QuantizeScalar(const int16_t* in, const QuantDivisors& divisors, int16_t* out);

// The plain rounded division that QuantizeScalar computes by reciprocal.
int QuantizeReference(int x, int divisor);

}  // namespace zc::jpeg
