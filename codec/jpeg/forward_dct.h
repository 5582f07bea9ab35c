// Scalar forward DCT (AAN, 16-bit integer arithmetic), the reference for the SIMD form.
#pragma once

#include <cstdint>

namespace zc::jpeg {

// In place on 64 values in natural order.
void ForwardDctScalar(int16_t* block);

}  // namespace zc::jpeg
