// Integer AAN inverse DCT with prepared quantisation tables (ITU-T T.81 A.3.3; Arai, Agui and Nakajima's
// scaled factorisation with 8-bit multipliers).
#include "codec/jpeg/decoder/jpeg_idct.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZC_JPEGDEC_IDCT_AVX2 1
#endif

#include "codec/jpeg/decoder/jpeg_simd.h"

namespace zc::jpegdec {
namespace {

// AAN scale factors S[u][v] = 16384 * a(u) * a(v), a(0) = 1, a(k) = sqrt(2) * cos(k * pi / 16).
constexpr int32_t kAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

constexpr int32_t kFix1414 = 362;  // sqrt(2) * 256
constexpr int32_t kFix1847 = 473;  // 1.847759065 * 256
constexpr int32_t kFix1082 = 277;  // 1.082392200 * 256
constexpr int32_t kFix2613 = 669;  // 2.613125930 * 256

// Dequantised inputs are clamped to the signed 16-bit range that coefficients are stored in, which also
// keeps every intermediate of both passes inside 32 bits for hostile coefficients.
constexpr int32_t kInputLimit = 32767;

inline int32_t Mul(int32_t x, int32_t k) {
  return x * k / 256;
}

struct RangeTable {
  uint8_t t[1024];
  constexpr RangeTable() : t{} {
    for (int i = 0; i < 1024; ++i) {
      int v = i < 512 ? i : i - 1024;  // -512..511
      v += 128;
      t[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
};
constexpr RangeTable kRange;

// The 1-D AAN inverse transform applied to eight lanes at once: in[k][lane] is input k of lane `lane`.
// Written lane-wise so that the compiler can keep the eight lanes in vector registers; every lane does
// exactly the scalar arithmetic.
inline void IdctLanes(const int32_t in[8][8], int32_t out[8][8]) {
  for (int l = 0; l < 8; ++l) {
    const int32_t i0 = in[0][l], i1 = in[1][l], i2 = in[2][l], i3 = in[3][l];
    const int32_t i4 = in[4][l], i5 = in[5][l], i6 = in[6][l], i7 = in[7][l];
    const int32_t tmp10 = i0 + i4;
    const int32_t tmp11 = i0 - i4;
    const int32_t tmp13 = i2 + i6;
    const int32_t tmp12 = Mul(i2 - i6, kFix1414) - tmp13;
    const int32_t t0 = tmp10 + tmp13;
    const int32_t t3 = tmp10 - tmp13;
    const int32_t t1 = tmp11 + tmp12;
    const int32_t t2 = tmp11 - tmp12;

    const int32_t z13 = i5 + i3;
    const int32_t z10 = i5 - i3;
    const int32_t z11 = i1 + i7;
    const int32_t z12 = i1 - i7;
    const int32_t t7 = z11 + z13;
    const int32_t o11 = Mul(z11 - z13, kFix1414);
    const int32_t z5 = Mul(z10 + z12, kFix1847);
    const int32_t o10 = Mul(z12, kFix1082) - z5;
    const int32_t o12 = Mul(z10, -kFix2613) + z5;
    const int32_t t6 = o12 - t7;
    const int32_t t5 = o11 - t6;
    const int32_t t4 = o10 + t5;
    out[0][l] = t0 + t7;
    out[7][l] = t0 - t7;
    out[1][l] = t1 + t6;
    out[6][l] = t1 - t6;
    out[2][l] = t2 + t5;
    out[5][l] = t2 - t5;
    out[4][l] = t3 + t4;
    out[3][l] = t3 - t4;
  }
}

// The range table as arithmetic: index ((x + 16) >> 5) & 0x3FF read as -512..511, shifted by 128 and
// clamped to 0..255.
inline int32_t RangeArith(int32_t x) {
  int32_t i = (((x + 16) >> 5) & 0x3FF) ^ 0x200;
  int32_t v = i - 0x200 + 128;
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

}  // namespace

PreparedQuant PrepareQuant(const std::array<uint16_t, 64>& q) {
  PreparedQuant p{};
  for (int i = 0; i < 64; ++i) {
    int64_t v = (static_cast<int64_t>(q[i]) * kAanScale[i] + 2048) >> 12;
    p[i] = static_cast<int32_t>(std::min<int64_t>(v, kInputLimit));
  }
  return p;
}

uint8_t RangeLimit(int index) {
  return kRange.t[index & 0x3FF];
}

// Scalar reference: the two passes one lane at a time.
void InverseDctScalar(const int16_t coef[64], const PreparedQuant& q, uint8_t* out, int stride) {
  int32_t in[8][8];
  int32_t cols[8][8];
  int32_t rows[8][8];
  int32_t res[8][8];
  for (int i = 0; i < 64; ++i) {
    int32_t v = coef[i] * q[i];
    in[i >> 3][i & 7] = v < -kInputLimit ? -kInputLimit : (v > kInputLimit ? kInputLimit : v);
  }
  IdctLanes(in, cols);  // columns: lanes are the eight columns
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) rows[c][r] = cols[r][c];
  }
  IdctLanes(rows, res);  // rows: lanes are the eight rows; res[k][r] is column k of row r
  for (int r = 0; r < 8; ++r) {
    uint8_t* o = out + r * stride;
    for (int k = 0; k < 8; ++k) o[k] = static_cast<uint8_t>(RangeArith(res[k][r]));
  }
}

// The vector helpers below are internal and always inlined into their callers, so the AVX calling
// convention note that GCC gives for 32-byte vector arguments does not concern any interface.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

// Eight 32-bit lanes (one AVX2 register, or two SSE2 registers).
typedef int32_t V8 __attribute__((vector_size(32)));
typedef int16_t V8s __attribute__((vector_size(16)));

// x * k / 256 rounded toward zero, as Mul.
// Vectors travel by reference (or through a macro): passing 32-byte vectors by value would depend on
// the AVX calling convention, which the baseline build of InverseDct does not have.
#define ZC_MUL_V(x, k) ((((x) * (k)) + ((((x) * (k)) >> 31) & 255)) >> 8)

// The odd half of the 1-D transform: t[0..3] are t4..t7 of the butterflies.
[[gnu::always_inline]] inline void OddPartV(const V8 in[8], V8 t[4]) {
  const V8 z13 = in[5] + in[3];
  const V8 z10 = in[5] - in[3];
  const V8 z11 = in[1] + in[7];
  const V8 z12 = in[1] - in[7];
  t[3] = z11 + z13;
  const V8 o11 = ZC_MUL_V(z11 - z13, kFix1414);
  const V8 z5 = ZC_MUL_V(z10 + z12, kFix1847);
  const V8 o10 = ZC_MUL_V(z12, kFix1082) - z5;
  const V8 o12 = ZC_MUL_V(z10, -kFix2613) + z5;
  t[2] = o12 - t[3];
  t[1] = o11 - t[2];
  t[0] = o10 + t[1];
}

[[gnu::always_inline]] inline void IdctV(const V8 in[8], V8 out[8]) {
  const V8 tmp10 = in[0] + in[4];
  const V8 tmp11 = in[0] - in[4];
  const V8 tmp13 = in[2] + in[6];
  const V8 tmp12 = ZC_MUL_V(in[2] - in[6], kFix1414) - tmp13;
  const V8 t0 = tmp10 + tmp13;
  const V8 t3 = tmp10 - tmp13;
  const V8 t1 = tmp11 + tmp12;
  const V8 t2 = tmp11 - tmp12;

  V8 odd[4];
  OddPartV(in, odd);
  const V8 &t4 = odd[0], &t5 = odd[1], &t6 = odd[2], &t7 = odd[3];
  out[0] = t0 + t7;
  out[7] = t0 - t7;
  out[1] = t1 + t6;
  out[6] = t1 - t6;
  out[2] = t2 + t5;
  out[5] = t2 - t5;
  out[4] = t3 + t4;
  out[3] = t3 - t4;
}

#undef ZC_MUL_V

// 8x8 transpose: r[i] lane j becomes t[j] lane i.
[[gnu::always_inline]] inline void Transpose(const V8 r[8], V8 t[8]) {
  V8 s[8], u[8];
  for (int i = 0; i < 4; ++i) {
    s[2 * i] = __builtin_shufflevector(r[2 * i], r[2 * i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
    s[2 * i + 1] = __builtin_shufflevector(r[2 * i], r[2 * i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
  }
  for (int h = 0; h < 2; ++h) {
    const int b = 4 * h;
    u[b + 0] = __builtin_shufflevector(s[b + 0], s[b + 2], 0, 1, 8, 9, 4, 5, 12, 13);
    u[b + 1] = __builtin_shufflevector(s[b + 0], s[b + 2], 2, 3, 10, 11, 6, 7, 14, 15);
    u[b + 2] = __builtin_shufflevector(s[b + 1], s[b + 3], 0, 1, 8, 9, 4, 5, 12, 13);
    u[b + 3] = __builtin_shufflevector(s[b + 1], s[b + 3], 2, 3, 10, 11, 6, 7, 14, 15);
  }
  for (int c = 0; c < 4; ++c) {
    t[c] = __builtin_shufflevector(u[c], u[c + 4], 0, 1, 2, 3, 8, 9, 10, 11);
    t[c + 4] = __builtin_shufflevector(u[c], u[c + 4], 4, 5, 6, 7, 12, 13, 14, 15);
  }
}

[[gnu::always_inline]] inline void RangeV(const V8& x, V8& out) {
  V8 v = ((((x + 16) >> 5) & 0x3FF) ^ 0x200) - 0x200 + 128;
  v = v < 0 ? V8{} : v;
  out = v > 255 ? V8{} + 255 : v;
}

}  // namespace

namespace {

// The eight rows of a block dequantised and clamped to the transform's input range, one row a vector.
[[gnu::always_inline]] inline void LoadDequantisedV(const int16_t coef[64], const PreparedQuant& q, V8 in[8]) {
  for (int r = 0; r < 8; ++r) {
    V8s c;
    V8 qr;
    std::memcpy(&c, coef + 8 * r, sizeof(c));
    std::memcpy(&qr, q.data() + 8 * r, sizeof(qr));
    V8 v = __builtin_convertvector(c, V8) * qr;
    v = v < -kInputLimit ? V8{} - kInputLimit : v;
    in[r] = v > kInputLimit ? V8{} + kInputLimit : v;
  }
}

// The same arithmetic as the scalar reference on whole rows of eight lanes, built for the baseline
// instruction set and, where the processor has it, AVX2; the samples are identical on every path.
ZC_JPEGDEC_MULTIVERSION void InverseDctVector(const int16_t coef[64], const PreparedQuant& q, uint8_t* out,
                                              int stride) {
  V8 in[8], cols[8], t[8], res[8], rows[8];
  LoadDequantisedV(coef, q, in);
  IdctV(in, cols);  // columns: lanes are the eight columns
  Transpose(cols, t);
  IdctV(t, res);  // rows: lanes are the eight rows; res[k] lane r is column k of row r
  Transpose(res, rows);
  typedef uint8_t V32b __attribute__((vector_size(32)));
  typedef uint8_t V8b __attribute__((vector_size(8)));
  for (int r = 0; r < 8; ++r) {
    // Samples are 0..255, so each lane's low byte is the sample.
    V8 samples;
    RangeV(rows[r], samples);
    const V32b bytes = reinterpret_cast<V32b>(samples);
    const V8b b = __builtin_shufflevector(bytes, bytes, 0, 4, 8, 12, 16, 20, 24, 28);
    std::memcpy(out + r * stride, &b, 8);
  }
}

#if defined(ZC_JPEGDEC_IDCT_AVX2)
// Dequantised and clamped inputs, each row of coefficients widened in one instruction.
__attribute__((target("avx2"), always_inline)) inline void LoadAvx2(const int16_t coef[64],
                                                                    const PreparedQuant& q, V8 in[8]) {
  const __m256i lo = _mm256_set1_epi32(-kInputLimit), hi = _mm256_set1_epi32(kInputLimit);
  for (int r = 0; r < 8; ++r) {
    const __m256i c = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r)));
    const __m256i v =
        _mm256_mullo_epi32(c, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q.data() + 8 * r)));
    in[r] = reinterpret_cast<V8>(_mm256_min_epi32(_mm256_max_epi32(v, lo), hi));
  }
}

// The vector transform with AVX2 loads and stores: each row of coefficients widened in one instruction,
// and the range step as shifts (the low ten bits of (x + 16) >> 5 sign-extended, plus 128) followed by
// saturating packs, which clamp to 0..255 exactly as RangeArith does, eight rows at once.
__attribute__((target("avx2"))) void InverseDctAvx2(const int16_t coef[64], const PreparedQuant& q,
                                                    uint8_t* out, int stride) {
  V8 in[8], cols[8], t[8], res[8], rows[8];
  LoadAvx2(coef, q, in);
  IdctV(in, cols);  // columns: lanes are the eight columns
  Transpose(cols, t);
  IdctV(t, res);  // rows: lanes are the eight rows; res[k] lane r is column k of row r
  Transpose(res, rows);
  const __m256i c16 = _mm256_set1_epi32(16), c128 = _mm256_set1_epi32(128);
  __m256i s[8];
  for (int r = 0; r < 8; ++r) {
    const __m256i x = _mm256_add_epi32(reinterpret_cast<__m256i>(rows[r]), c16);
    s[r] = _mm256_add_epi32(_mm256_srai_epi32(_mm256_slli_epi32(x, 17), 22), c128);
  }
  // Per 128-bit half, the packs leave four samples of each of four rows: dword i of the low half is
  // samples 0-3 of row i, of the high half samples 4-7; the permute puts each row's two dwords together.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (int h = 0; h < 2; ++h) {
    const __m256i w01 = _mm256_packs_epi32(s[4 * h], s[4 * h + 1]);
    const __m256i w23 = _mm256_packs_epi32(s[4 * h + 2], s[4 * h + 3]);
    const __m256i b = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(w01, w23), order);
    const __m128i r01 = _mm256_castsi256_si128(b), r23 = _mm256_extracti128_si256(b, 1);
    uint8_t* o = out + static_cast<std::ptrdiff_t>(4 * h) * stride;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), r01);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + stride), _mm_unpackhi_epi64(r01, r01));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 2 * stride), r23);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 3 * stride), _mm_unpackhi_epi64(r23, r23));
  }
}

#endif

}  // namespace

void InverseDct(const int16_t coef[64], const PreparedQuant& q, uint8_t* out, int stride) {
#if defined(ZC_JPEGDEC_IDCT_AVX2)
  if (CpuHasAvx2()) {
    InverseDctAvx2(coef, q, out, stride);
    return;
  }
#endif
  InverseDctVector(coef, q, out, stride);
}

namespace {

#define ZC_MUL_V(x, k) ((((x) * (k)) + ((((x) * (k)) >> 31) & 255)) >> 8)

typedef int32_t V4 __attribute__((vector_size(16)));

// Outputs 0 and 4 of the 1-D transform of eight lines held lane-wise, with IdctV's arithmetic.
[[gnu::always_inline]] inline void Outputs0And4V(const V8 in[8], V8& out0, V8& out4) {
  const V8 tmp10 = in[0] + in[4];
  const V8 tmp13 = in[2] + in[6];
  V8 odd[4];
  OddPartV(in, odd);
  const V8 &t4 = odd[0], &t7 = odd[3];
  out0 = tmp10 + tmp13 + t7;
  out4 = tmp10 - tmp13 + t4;
}

// Outputs 0 and 4 of the 1-D transform of two lines a and b (eight inputs each, one a lane), as
// {a0, a4, b0, b4}. The two lines travel side by side in lane pairs, so the butterflies of both take one
// vector operation each; the arithmetic is IdctV's.
[[gnu::always_inline]] inline V4 TwoLinesOutputs0And4(const V8& a, const V8& b) {
  const V4 i01 = __builtin_shufflevector(a, b, 0, 8, 1, 9);  // {a0, b0, a1, b1}
  const V4 i23 = __builtin_shufflevector(a, b, 2, 10, 3, 11);
  const V4 i45 = __builtin_shufflevector(a, b, 4, 12, 5, 13);
  const V4 i67 = __builtin_shufflevector(a, b, 6, 14, 7, 15);
  const V4 e = i01 + i45;                                                        // {tmp10, i1 + i5}
  const V4 f = i23 + i67;                                                        // {tmp13, i3 + i7}
  const V4 g = __builtin_shufflevector(i45, i01, 2, 3, 6, 7);                    // {i5, i1}
  const V4 h = __builtin_shufflevector(i23, i67, 2, 3, 6, 7);                    // {i3, i7}
  const V4 sum = g + h;                                                          // {z13, z11}
  const V4 diff = g - h;                                                         // {z10, z12}
  const V4 sum_x = __builtin_shufflevector(sum, sum, 2, 3, 0, 1);                // {z11, z13}
  const V4 diff_x = __builtin_shufflevector(diff, diff, 2, 3, 0, 1);             // {z12, z10}
  const V4 t7 = sum + sum_x;                                                     // low pair
  const V4 x = __builtin_shufflevector(sum_x - sum, diff + diff_x, 0, 1, 4, 5);  // {z11 - z13, z10 + z12}
  const V4 p = ZC_MUL_V(x, (V4{kFix1414, kFix1414, kFix1847, kFix1847}));        // {o11, z5}
  const V4 m = ZC_MUL_V(diff, (V4{-kFix2613, -kFix2613, kFix1082, kFix1082}));   // {z10 *, z12 *}
  const V4 z5 = __builtin_shufflevector(p, p, 2, 3, 2, 3);
  const V4 o12 = m + z5;
  const V4 o10 = __builtin_shufflevector(m, m, 2, 3, 0, 1) - z5;
  const V4 t6 = o12 - t7;
  const V4 t5 = p - t6;
  const V4 t4 = o10 + t5;
  const V4 ef = e + f;
  const V4 out0 = ef + __builtin_shufflevector(ef, ef, 2, 3, 0, 1);
  const V4 out4 = e - f + t4;
  return __builtin_shufflevector(out0, out4, 0, 4, 1, 5);
}

#undef ZC_MUL_V

// The quarter-scale samples of a block from its dequantised inputs: rows 0 and 4 of the column pass,
// then columns 0 and 4 of those two rows.
[[gnu::always_inline]] inline void Quarter(const V8 in[8], uint8_t* out, int stride) {
  V8 row0, row4;
  Outputs0And4V(in, row0, row4);
  V4 v = TwoLinesOutputs0And4(row0, row4);
  v = ((((v + 16) >> 5) & 0x3FF) ^ 0x200) - 0x200 + 128;
  v = v < 0 ? V4{} : v;
  v = v > 255 ? V4{} + 255 : v;
  out[0] = static_cast<uint8_t>(v[0]);
  out[1] = static_cast<uint8_t>(v[1]);
  out[stride] = static_cast<uint8_t>(v[2]);
  out[stride + 1] = static_cast<uint8_t>(v[3]);
}

#if defined(ZC_JPEGDEC_IDCT_AVX2)
__attribute__((target("avx2"))) void QuarterAvx2(const int16_t coef[64], const PreparedQuant& q, uint8_t* out,
                                                 int stride) {
  V8 in[8];
  LoadAvx2(coef, q, in);
  Quarter(in, out, stride);
}
#endif

}  // namespace

ZC_JPEGDEC_MULTIVERSION void InverseDctReduced(const int16_t coef[64], const PreparedQuant& q, int factor,
                                               uint8_t* out, int stride) {
#if defined(ZC_JPEGDEC_IDCT_AVX2)
  if (factor == 4 && CpuHasAvx2()) {
    QuarterAvx2(coef, q, out, stride);
    return;
  }
#endif
  V8 in[8];
  LoadDequantisedV(coef, q, in);
  if (factor == 8) {
    // Output 0 of the 1-D transform is the plain sum of its inputs (t0 + t7 takes each once), so the
    // top-left sample is the sum of all 64 dequantised inputs.
    V8 sum = in[0];
    for (int r = 1; r < 8; ++r) sum += in[r];
    int32_t total = 0;
    for (int l = 0; l < 8; ++l) total += sum[l];
    out[0] = static_cast<uint8_t>(RangeArith(total));
    return;
  }
  if (factor == 4) {
    Quarter(in, out, stride);
    return;
  }
  V8 cols[8];
  IdctV(in, cols);  // cols[k] lane l: row k of column l
  V8 t[8], res[8];
  Transpose(cols, t);
  IdctV(t, res);  // res[k] lane r: column k of row r
  // Rows 0, 2, 4, 6 of columns 0, 2, 4, 6, gathered two output rows to a vector, then clamped and
  // narrowed to bytes.
  const V8 a = __builtin_shufflevector(res[0], res[2], 0, 8, 2, 10, 4, 12, 6, 14);
  const V8 b = __builtin_shufflevector(res[4], res[6], 0, 8, 2, 10, 4, 12, 6, 14);
  V8 rows01 = __builtin_shufflevector(a, b, 0, 1, 8, 9, 2, 3, 10, 11);
  V8 rows23 = __builtin_shufflevector(a, b, 4, 5, 12, 13, 6, 7, 14, 15);
  RangeV(rows01, rows01);
  RangeV(rows23, rows23);
  typedef uint8_t V32b __attribute__((vector_size(32)));
  typedef uint8_t V8b __attribute__((vector_size(8)));
  const V32b b01 = reinterpret_cast<V32b>(rows01), b23 = reinterpret_cast<V32b>(rows23);
  const V8b s01 = __builtin_shufflevector(b01, b01, 0, 4, 8, 12, 16, 20, 24, 28);
  const V8b s23 = __builtin_shufflevector(b23, b23, 0, 4, 8, 12, 16, 20, 24, 28);
  std::memcpy(out, &s01, 4);
  std::memcpy(out + stride, reinterpret_cast<const uint8_t*>(&s01) + 4, 4);
  std::memcpy(out + 2 * stride, &s23, 4);
  std::memcpy(out + 3 * stride, reinterpret_cast<const uint8_t*>(&s23) + 4, 4);
}

void InverseDctDcOnly(int16_t dc, const PreparedQuant& q, uint8_t* out, int stride, int side) {
  int32_t v = dc * q[0];
  v = v < -kInputLimit ? -kInputLimit : (v > kInputLimit ? kInputLimit : v);
  const uint8_t s = static_cast<uint8_t>(RangeArith(v));
  // Whole rows as single stores of the sample repeated (a call to memset per row costs more than the
  // block).
  const uint64_t fill = 0x0101010101010101ull * s;
  switch (side) {
    case 8:
      for (int r = 0; r < 8; ++r) std::memcpy(out + static_cast<std::ptrdiff_t>(r) * stride, &fill, 8);
      break;
    case 4:
      for (int r = 0; r < 4; ++r) std::memcpy(out + static_cast<std::ptrdiff_t>(r) * stride, &fill, 4);
      break;
    case 2:
      std::memcpy(out, &fill, 2);
      std::memcpy(out + stride, &fill, 2);
      break;
    default:
      for (int r = 0; r < side; ++r) {
        for (int k = 0; k < side; ++k) out[r * stride + k] = s;
      }
      break;
  }
}

}  // namespace zc::jpegdec
