// Zig-zag order of DCT coefficients (ITU-T T.81 Figure 5): kZigzag[k] is the natural (row-major) index of
// the k-th coefficient in coding order. Sixteen trailing entries point at 0 so that a run past position 63
// lands harmlessly on the DC slot instead of outside the block.
#pragma once

#include <cstdint>

namespace zc::jpegdec {

inline constexpr uint8_t kZigzag[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                        12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                        35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                        58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                        0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};

}  // namespace zc::jpegdec
