// Scalar block fetch with down-sampling and level shift.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform_kernels.h"

namespace zc::jpeg {

void FetchBlock1x1Scalar(const uint8_t* plane, size_t stride, int16_t* block);
void FetchBlock2x2Scalar(const uint8_t* plane, size_t stride, int16_t* block);

}  // namespace zc::jpeg
