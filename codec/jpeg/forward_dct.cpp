// Scalar forward DCT: the Arai-Agui-Nakajima integer transform with 8-bit constants, as in the IJG "fast"
// DCT, every intermediate kept to 16 bits so the SIMD form can match it exactly.
#include "forward_dct.h"

namespace zc::jpeg {
namespace {

inline int16_t S16(int v) {
  return static_cast<int16_t>(v);
}
// (x * k) >> 8, arithmetic shift, as a 16-bit result.
inline int16_t Mul(int16_t x, int k) {
  return S16((x * k) >> 8);
}

constexpr int kC4 = 181;    // 0.707106781 x 256
constexpr int kC6 = 98;     // 0.382683433 x 256
constexpr int kC2m6 = 139;  // 0.541196100 x 256
constexpr int kC2p6 = 334;  // 1.306562965 x 256

void TransformLine(int16_t* d, int step) {
  const int16_t t0 = S16(d[0] + d[7 * step]), t7 = S16(d[0] - d[7 * step]);
  const int16_t t1 = S16(d[step] + d[6 * step]), t6 = S16(d[step] - d[6 * step]);
  const int16_t t2 = S16(d[2 * step] + d[5 * step]), t5 = S16(d[2 * step] - d[5 * step]);
  const int16_t t3 = S16(d[3 * step] + d[4 * step]), t4 = S16(d[3 * step] - d[4 * step]);

  const int16_t t10 = S16(t0 + t3), t13 = S16(t0 - t3), t11 = S16(t1 + t2), t12 = S16(t1 - t2);
  d[0] = S16(t10 + t11);
  d[4 * step] = S16(t10 - t11);
  const int16_t z1 = Mul(S16(t12 + t13), kC4);
  d[2 * step] = S16(t13 + z1);
  d[6 * step] = S16(t13 - z1);

  const int16_t p10 = S16(t4 + t5), p11 = S16(t5 + t6), p12 = S16(t6 + t7);
  const int16_t z5 = Mul(S16(p10 - p12), kC6);
  const int16_t z2 = S16(Mul(p10, kC2m6) + z5);
  const int16_t z4 = S16(Mul(p12, kC2p6) + z5);
  const int16_t z3 = Mul(p11, kC4);
  const int16_t z11 = S16(t7 + z3), z13 = S16(t7 - z3);
  d[5 * step] = S16(z13 + z2);
  d[3 * step] = S16(z13 - z2);
  d[1 * step] = S16(z11 + z4);
  d[7 * step] = S16(z11 - z4);
}

}  // namespace

void ForwardDctScalar(int16_t* block) {
  for (int row = 0; row < 8; ++row) TransformLine(block + 8 * row, 1);
  for (int col = 0; col < 8; ++col) TransformLine(block + col, 8);
}

}  // namespace zc::jpeg
