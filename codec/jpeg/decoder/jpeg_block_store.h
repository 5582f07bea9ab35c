// Block stores: one decoded 8x8 block placed into an output-resolution sample plane.
//
// Up-sampling and down-scaling are folded into the store: each component and direction gets a factor
// f = scale * max sampling / own sampling (scale in 1/2048) and a mode: x1, x2, xN (replication, N = 2, 4
// or 8) or reduce (decimation by 2, 4 or 8, keeping every N-th sample without averaging).
#pragma once

#include <cstdint>

namespace zc::jpegdec {

enum class StoreMode : uint8_t { kReduce = 0, kCopy = 1, kDouble = 2, kMultiply = 3 };

struct AxisStore {
  StoreMode mode = StoreMode::kCopy;
  uint8_t factor = 1;
  // Samples one block contributes along this axis: 8 * factor, or 8 / factor when reducing.
  // (Factors are powers of two: a shift, not a division, since this runs for every block.)
  int OutSize() const { return mode == StoreMode::kReduce ? 8 >> __builtin_ctz(factor) : 8 * factor; }
};

// Chooses the store for factor f (in 1/2048); throws `error_code` (39 horizontal, 40 vertical) when f is
// outside 256..16384 or does not give a factor of 1/8, 1/4, 1/2, 1, 2, 4 or 8.
AxisStore ChooseAxisStore(uint32_t f, int error_code);

// Stores the 8x8 samples `block` (8 bytes a row) at `dst` (the block's top-left in the plane).
void StoreBlock(const AxisStore& h, const AxisStore& v, const uint8_t block[64], uint8_t* dst, int stride);

}  // namespace zc::jpegdec
