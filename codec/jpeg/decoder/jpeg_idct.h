// Dequantisation and the integer inverse DCT (Arai-Agui-Nakajima factorisation, ITU-T T.81 A.3.3).
//
// Quantisation tables are prepared once: entry i becomes (q[i] * S[i] + 2048) >> 12, S being the AAN
// scale factors in 1/16384, which leaves two fraction bits. The transform runs columns then rows with the
// multipliers sqrt(2), 1.847759, 1.082392 and 2.613126 in 1/256 (products divided rounding toward zero),
// and the result (x + 16) >> 5 goes through a 1024-entry range table that level-shifts by 128 and clamps
// to 0..255.
#pragma once

#include <array>
#include <cstdint>

namespace zc::jpegdec {

using PreparedQuant = std::array<int32_t, 64>;

PreparedQuant PrepareQuant(const std::array<uint16_t, 64>& q);

// Transforms 64 quantised coefficients (natural order) into 64 samples 0..255, written row by row
// `stride` bytes apart to `out`.
void InverseDct(const int16_t coef[64], const PreparedQuant& q, uint8_t* out, int stride);
// The portable scalar reference of InverseDct (identical samples).
void InverseDctScalar(const int16_t coef[64], const PreparedQuant& q, uint8_t* out, int stride);

// The same transform for a block whose only non-zero coefficient is the DC: `side` x `side` equal samples
// (8, or the side of a reduced block).
void InverseDctDcOnly(int16_t dc, const PreparedQuant& q, uint8_t* out, int stride, int side = 8);

// The samples of InverseDct at every `factor`-th row and column (factor 2, 4 or 8): the 8 / factor square
// that decimation of the full block keeps, computed without the samples it drops.
void InverseDctReduced(const int16_t coef[64], const PreparedQuant& q, int factor, uint8_t* out, int stride);

// The range table lookup the transform ends with: index ((x + 16) >> 5) & 0x3FF.
uint8_t RangeLimit(int index);

}  // namespace zc::jpegdec
