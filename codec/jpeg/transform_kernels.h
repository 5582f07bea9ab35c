// Pixel arithmetic of the compressor as a set of kernels: colour conversion of one row, block fetch with
// down-sampling and level shift, the forward DCT and quantisation. The scalar set is the reference; a SIMD
// set, where the processor has one, produces bit-identical results and is chosen at run time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zc::jpeg {

// Divisors of one quantisation table for the AAN transform, natural order, with the reciprocals that
// turn the rounded division into a multiply: q = (n * recip) >> 16 plus at most one correction step,
// exact for every n below 65536 and divisor below 32768.
struct QuantDivisors {
  std::array<uint16_t, 64> divisor{};
  std::array<uint16_t, 64> reciprocal{};
  std::array<uint16_t, 64> half{};  // divisor >> 1, the rounding term
};

// AAN scale factors in 1/16384, natural order (T.81 annotated: a[0] = 1, a[k] = sqrt(2) cos(k pi / 16)).
extern const std::array<uint16_t, 64> kAanScales;

// d[k] = (S[k] x q[k] + 1024) >> 11 for an 8-bit quantisation table q.
QuantDivisors MakeQuantDivisors(const std::array<uint16_t, 64>& quant);

struct TransformKernels {
  const char* name;
  // R, G, B triples to Y, Cb, Cr (JFIF, 16-bit fixed point), `count` pixels.
  void (*rgb_to_ycc)(const uint8_t* rgb, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr);
  // R, G, B triples to Y only.
  void (*rgb_to_y)(const uint8_t* rgb, size_t count, uint8_t* y);
  // One 8 x 8 block of samples minus 128 (full resolution).
  void (*fetch_1x1)(const uint8_t* plane, size_t stride, int16_t* block);
  // One 8 x 8 block averaged from 16 x 16 samples (2:1 both ways), with the alternating 1/2 bias.
  void (*fetch_2x2)(const uint8_t* plane, size_t stride, int16_t* block);
  // AAN forward DCT in place, 16-bit arithmetic, output scaled by 8 and the AAN factors.
  void (*forward_dct)(int16_t* block);
  // Rounded division by the divisors, sign kept, natural order.
  void (*quantize)(const int16_t* in, const QuantDivisors& divisors, int16_t* out);
  // The three steps for one block at once (fetch 1 x 1 or 2 x 2, DCT, quantisation), equal to calling
  // them in turn.
  void (*encode_block_1x1)(const uint8_t* plane, size_t stride, const QuantDivisors& divisors, int16_t* out);
  void (*encode_block_2x2)(const uint8_t* plane, size_t stride, const QuantDivisors& divisors, int16_t* out);
  // Bit k set when values[k] is non-zero, 64 values 16-byte aligned (the entropy coder's walk).
  uint64_t (*nonzero_mask)(const int16_t* values);
  // Two blocks (at `a` and `b`, same stride and divisors) at once, each equal to encode_block_1x1 or
  // encode_block_2x2 of its own samples; null where the set has none (the single kernels serve).
  void (*encode_pair_1x1)(const uint8_t* a, const uint8_t* b, size_t stride, const QuantDivisors& divisors,
                          int16_t* out_a, int16_t* out_b);
  void (*encode_pair_2x2)(const uint8_t* a, const uint8_t* b, size_t stride, const QuantDivisors& divisors,
                          int16_t* out_a, int16_t* out_b);
  // The point transform of a progressive AC scan on one stored block (64 signed 16-bit coefficients in
  // zig-zag order, any alignment): bit k of *nonzero when |coef[k]| >> al is not 0, of *one when it is 1.
  void (*point_masks)(const uint8_t* block, int al, uint64_t* nonzero, uint64_t* one);
  // A quantised block (64 values, natural order) written at `out` (any alignment) in zig-zag order, as
  // the progressive coefficient store keeps it.
  void (*zigzag_store)(const int16_t* natural, uint8_t* out);
};

const TransformKernels& ScalarKernels();
// The best SIMD kernels, or null when this build or processor has none.
const TransformKernels* SimdKernels();
// Every SIMD kernel set this processor can run, best first (for tests against the scalar set).
std::vector<const TransformKernels*> SupportedSimdKernels();

}  // namespace zc::jpeg
