// SIMD kernels for x86-64: SSE2 (part of the x86-64 baseline) for the block fetch, forward DCT and
// quantisation, SSSE3 (chosen at run time) for the R, G, B de-interleave of the colour conversion, AVX2
// (chosen at run time) for its arithmetic and AVX-512 BW (chosen at run time) for the zig-zag store. Every
// kernel computes exactly what its scalar reference computes; only the instruction form differs.
#include "transform_kernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include "block_fetch.h"
#include "color_convert.h"
#include "jpeg_tables.h"
#include "quantize.h"

namespace zc::jpeg {
namespace {

// (x * k) >> 8 per 16-bit lane, arithmetic shift, low 16 bits of the result: the high and low halves of
// the 32-bit product put together.
inline __m128i MulShift8(__m128i x, __m128i k) {
  const __m128i lo = _mm_mullo_epi16(x, k);
  const __m128i hi = _mm_mulhi_epi16(x, k);
  return _mm_or_si128(_mm_slli_epi16(hi, 8), _mm_srli_epi16(lo, 8));
}

inline void Transpose8x8(__m128i* r) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// One AAN pass over eight lines at once; d[i] holds element i of every line.
inline void DctPass(__m128i* d) {
  const __m128i c4 = _mm_set1_epi16(181), c6 = _mm_set1_epi16(98);
  const __m128i c2m6 = _mm_set1_epi16(139), c2p6 = _mm_set1_epi16(334);
  const __m128i t0 = _mm_add_epi16(d[0], d[7]), t7 = _mm_sub_epi16(d[0], d[7]);
  const __m128i t1 = _mm_add_epi16(d[1], d[6]), t6 = _mm_sub_epi16(d[1], d[6]);
  const __m128i t2 = _mm_add_epi16(d[2], d[5]), t5 = _mm_sub_epi16(d[2], d[5]);
  const __m128i t3 = _mm_add_epi16(d[3], d[4]), t4 = _mm_sub_epi16(d[3], d[4]);

  const __m128i t10 = _mm_add_epi16(t0, t3), t13 = _mm_sub_epi16(t0, t3);
  const __m128i t11 = _mm_add_epi16(t1, t2), t12 = _mm_sub_epi16(t1, t2);
  d[0] = _mm_add_epi16(t10, t11);
  d[4] = _mm_sub_epi16(t10, t11);
  const __m128i z1 = MulShift8(_mm_add_epi16(t12, t13), c4);
  d[2] = _mm_add_epi16(t13, z1);
  d[6] = _mm_sub_epi16(t13, z1);

  const __m128i p10 = _mm_add_epi16(t4, t5), p11 = _mm_add_epi16(t5, t6), p12 = _mm_add_epi16(t6, t7);
  const __m128i z5 = MulShift8(_mm_sub_epi16(p10, p12), c6);
  const __m128i z2 = _mm_add_epi16(MulShift8(p10, c2m6), z5);
  const __m128i z4 = _mm_add_epi16(MulShift8(p12, c2p6), z5);
  const __m128i z3 = MulShift8(p11, c4);
  const __m128i z11 = _mm_add_epi16(t7, z3), z13 = _mm_sub_epi16(t7, z3);
  d[5] = _mm_add_epi16(z13, z2);
  d[3] = _mm_sub_epi16(z13, z2);
  d[1] = _mm_add_epi16(z11, z4);
  d[7] = _mm_sub_epi16(z11, z4);
}

void ForwardDctSse2(int16_t* block) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
  Transpose8x8(r);  // r[i] = element i of every row
  DctPass(r);       // row transforms
  Transpose8x8(r);  // r[i] = row i
  DctPass(r);       // column transforms
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), r[i]);
}

// Eight coefficients starting at k: rounded division through the reciprocal and one correction step.
inline __m128i Quantize8(__m128i x, const QuantDivisors& divisors, int k) {
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(divisors.divisor.data() + k));
  const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(divisors.reciprocal.data() + k));
  const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(divisors.half.data() + k));
  const __m128i sign = _mm_srai_epi16(x, 15);
  const __m128i mag = _mm_sub_epi16(_mm_xor_si128(x, sign), sign);  // |x| as unsigned 16 bits
  const __m128i n = _mm_add_epi16(mag, h);
  __m128i q = _mm_mulhi_epu16(n, m);
  const __m128i rem = _mm_sub_epi16(n, _mm_mullo_epi16(q, d));
  // q + 1 unless the remainder is already below the divisor (mask -1 there).
  q = _mm_add_epi16(q, _mm_add_epi16(_mm_set1_epi16(1), _mm_cmplt_epi16(rem, d)));
  return _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
}

void QuantizeSse2(const int16_t* in, const QuantDivisors& divisors, int16_t* out) {
  for (int k = 0; k < 64; k += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), Quantize8(x, divisors, k));
  }
}

// Row y of a full-resolution block, level-shifted.
inline __m128i FetchRow1x1(const uint8_t* plane, size_t stride, int y) {
  const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(plane + stride * y));
  return _mm_sub_epi16(_mm_unpacklo_epi8(s, _mm_setzero_si128()), _mm_set1_epi16(128));
}

// Row y of a block averaged over 2 x 2 samples with the alternating 1, 2 bias, level-shifted.
inline __m128i FetchRow2x2(const uint8_t* plane, size_t stride, int y) {
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi16(1);
  const uint8_t* p = plane + 2 * stride * y;
  const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride));
  const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(r0, zero), _mm_unpacklo_epi8(r1, zero));
  const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(r0, zero), _mm_unpackhi_epi8(r1, zero));
  const __m128i sums = _mm_packs_epi32(_mm_madd_epi16(lo, ones), _mm_madd_epi16(hi, ones));
  const __m128i avg = _mm_srai_epi16(_mm_add_epi16(sums, _mm_setr_epi16(1, 2, 1, 2, 1, 2, 1, 2)), 2);
  return _mm_sub_epi16(avg, _mm_set1_epi16(128));
}

void FetchBlock1x1Sse2(const uint8_t* plane, size_t stride, int16_t* block) {
  for (int y = 0; y < 8; ++y) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * y), FetchRow1x1(plane, stride, y));
  }
}

void FetchBlock2x2Sse2(const uint8_t* plane, size_t stride, int16_t* block) {
  for (int y = 0; y < 8; ++y) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * y), FetchRow2x2(plane, stride, y));
  }
}

uint64_t NonZeroMaskSse2(const int16_t* values) {
  const __m128i zero = _mm_setzero_si128();
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(values + 16 * i));
    const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(values + 16 * i + 8));
    const __m128i eq = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    mask |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(eq))) << (16 * i);
  }
  return mask;
}

// |v| >> al of eight coefficients at once: 0 - v and v give the magnitude by a signed maximum (-32768
// stays 0x8000, which the logical shift reads as 32768, as the scalar form does), and the counts of
// zero and one lanes become two 16-bit masks per pair of vectors.
void PointMasksSse2(const uint8_t* block, int al, uint64_t* nonzero, uint64_t* one) {
  const __m128i shift = _mm_cvtsi32_si128(al);
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi16(1);
  uint64_t nz = 0, on = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 32 * i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 32 * i + 16));
    a = _mm_srl_epi16(_mm_max_epi16(a, _mm_sub_epi16(zero, a)), shift);
    b = _mm_srl_epi16(_mm_max_epi16(b, _mm_sub_epi16(zero, b)), shift);
    const __m128i is_zero = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    const __m128i is_one = _mm_packs_epi16(_mm_cmpeq_epi16(a, ones), _mm_cmpeq_epi16(b, ones));
    nz |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(is_zero))) << (16 * i);
    on |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(is_one))) << (16 * i);
  }
  *nonzero = nz;
  *one = on;
}

// Fetch, DCT and quantisation with the block kept in registers throughout.
template <__m128i (*FetchRow)(const uint8_t*, size_t, int)>
void EncodeBlockSse2(const uint8_t* plane, size_t stride, const QuantDivisors& divisors, int16_t* out) {
  __m128i r[8];
  for (int y = 0; y < 8; ++y) r[y] = FetchRow(plane, stride, y);
  Transpose8x8(r);
  DctPass(r);
  Transpose8x8(r);
  DctPass(r);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), Quantize8(r[i], divisors, 8 * i));
  }
}

// Eight R, G, B triples (24 bytes) into three vectors of 16-bit samples.
__attribute__((target("ssse3"))) inline void LoadRgb8(const uint8_t* p, __m128i* r, __m128i* g, __m128i* b) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16));
  const char z = -1;
  *r = _mm_or_si128(_mm_shuffle_epi8(a, _mm_setr_epi8(0, z, 3, z, 6, z, 9, z, 12, z, 15, z, z, z, z, z)),
                    _mm_shuffle_epi8(c, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, 2, z, 5, z)));
  *g = _mm_or_si128(_mm_shuffle_epi8(a, _mm_setr_epi8(1, z, 4, z, 7, z, 10, z, 13, z, z, z, z, z, z, z)),
                    _mm_shuffle_epi8(c, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, 0, z, 3, z, 6, z)));
  *b = _mm_or_si128(_mm_shuffle_epi8(a, _mm_setr_epi8(2, z, 5, z, 8, z, 11, z, 14, z, z, z, z, z, z, z)),
                    _mm_shuffle_epi8(c, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, 1, z, 4, z, 7, z)));
}

// Y from pairs: 19595 R + 22086 G and 7471 B + 16384 G (38470 = 22086 + 16384 does not fit 16 bits).
inline __m128i Luma4(__m128i rg, __m128i bg) {
  const __m128i w_rg = _mm_set1_epi32((22086 << 16) | 19595), w_bg = _mm_set1_epi32((16384 << 16) | 7471);
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(rg, w_rg), _mm_madd_epi16(bg, w_bg));
  return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(32768)), 16);
}

// a x w0 + b x w1 + (c << 15) + 8421375, >> 16: Cb (R, G; B) and Cr (G, B; R).
inline __m128i Chroma4(__m128i ab, __m128i c32, __m128i w) {
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(ab, w), _mm_slli_epi32(c32, 15));
  return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(8421375)), 16);
}

inline void Store8(uint8_t* dst, __m128i lo, __m128i hi) {
  const __m128i w = _mm_packs_epi32(lo, hi);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(w, w));
}

__attribute__((target("ssse3"))) void RgbToYccSsse3(const uint8_t* rgb, size_t count, uint8_t* y, uint8_t* cb,
                                                    uint8_t* cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i w_cb = _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(-21709) << 16) | 0xD4CD));
  const __m128i w_cr = _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(-5329) << 16) | 0x94D1));
  size_t i = 0;
  for (; i + 8 <= count; i += 8, rgb += 24) {
    __m128i r, g, b;
    LoadRgb8(rgb, &r, &g, &b);
    const __m128i rg_lo = _mm_unpacklo_epi16(r, g), rg_hi = _mm_unpackhi_epi16(r, g);
    const __m128i bg_lo = _mm_unpacklo_epi16(b, g), bg_hi = _mm_unpackhi_epi16(b, g);
    const __m128i gb_lo = _mm_unpacklo_epi16(g, b), gb_hi = _mm_unpackhi_epi16(g, b);
    Store8(y + i, Luma4(rg_lo, bg_lo), Luma4(rg_hi, bg_hi));
    Store8(cb + i, Chroma4(rg_lo, _mm_unpacklo_epi16(b, zero), w_cb),
           Chroma4(rg_hi, _mm_unpackhi_epi16(b, zero), w_cb));
    Store8(cr + i, Chroma4(gb_lo, _mm_unpacklo_epi16(r, zero), w_cr),
           Chroma4(gb_hi, _mm_unpackhi_epi16(r, zero), w_cr));
  }
  RgbToYccScalar(rgb, count - i, y + i, cb + i, cr + i);
}

__attribute__((target("ssse3"))) void RgbToYSsse3(const uint8_t* rgb, size_t count, uint8_t* y) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8, rgb += 24) {
    __m128i r, g, b;
    LoadRgb8(rgb, &r, &g, &b);
    Store8(y + i, Luma4(_mm_unpacklo_epi16(r, g), _mm_unpacklo_epi16(b, g)),
           Luma4(_mm_unpackhi_epi16(r, g), _mm_unpackhi_epi16(b, g)));
  }
  RgbToYScalar(rgb, count - i, y + i);
}

// AVX2: sixteen pixels a step, de-interleaved as two halves of eight, the arithmetic on 256-bit vectors.
// The eight-pixel de-interleave of LoadRgb8 done in both halves at once: pixels 0-7 in the low half,
// 8-15 in the high half.
__attribute__((target("avx2"))) inline void LoadRgb16(const uint8_t* p, __m256i* r, __m256i* g, __m256i* b) {
  const __m256i a = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)), 1);
  const __m256i c = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16))),
      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 40)), 1);
  const char z = -1;
  const __m256i ra = _mm256_setr_epi8(0, z, 3, z, 6, z, 9, z, 12, z, 15, z, z, z, z, z, 0, z, 3, z, 6, z, 9, z,
                                      12, z, 15, z, z, z, z, z);
  const __m256i rc = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, 2, z, 5, z, z, z, z, z, z, z, z, z,
                                      z, z, z, z, 2, z, 5, z);
  const __m256i ga = _mm256_setr_epi8(1, z, 4, z, 7, z, 10, z, 13, z, z, z, z, z, z, z, 1, z, 4, z, 7, z, 10,
                                      z, 13, z, z, z, z, z, z, z);
  const __m256i gc = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 0, z, 3, z, 6, z, z, z, z, z, z, z, z, z,
                                      z, z, 0, z, 3, z, 6, z);
  const __m256i ba = _mm256_setr_epi8(2, z, 5, z, 8, z, 11, z, 14, z, z, z, z, z, z, z, 2, z, 5, z, 8, z, 11,
                                      z, 14, z, z, z, z, z, z, z);
  const __m256i bc = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 1, z, 4, z, 7, z, z, z, z, z, z, z, z, z,
                                      z, z, 1, z, 4, z, 7, z);
  *r = _mm256_or_si256(_mm256_shuffle_epi8(a, ra), _mm256_shuffle_epi8(c, rc));
  *g = _mm256_or_si256(_mm256_shuffle_epi8(a, ga), _mm256_shuffle_epi8(c, gc));
  *b = _mm256_or_si256(_mm256_shuffle_epi8(a, ba), _mm256_shuffle_epi8(c, bc));
}

__attribute__((target("avx2"))) inline __m256i Luma8(__m256i rg, __m256i bg) {
  const __m256i w_rg = _mm256_set1_epi32((22086 << 16) | 19595),
                w_bg = _mm256_set1_epi32((16384 << 16) | 7471);
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(rg, w_rg), _mm256_madd_epi16(bg, w_bg));
  return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(32768)), 16);
}

__attribute__((target("avx2"))) inline __m256i Chroma8(__m256i ab, __m256i c32, __m256i w) {
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(ab, w), _mm256_slli_epi32(c32, 15));
  return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(8421375)), 16);
}

// lo holds pixels 0-3 and 8-11, hi 4-7 and 12-15 (the unpacks work within 128-bit lanes).
__attribute__((target("avx2"))) inline void Store16(uint8_t* dst, __m256i lo, __m256i hi) {
  const __m256i w = _mm256_packs_epi32(lo, hi);  // lane 0: pixels 0-7, lane 1: 8-15
  const __m256i b = _mm256_packus_epi16(w, w);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(b));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 8), _mm256_extracti128_si256(b, 1));
}

__attribute__((target("avx2"))) void RgbToYccAvx2(const uint8_t* rgb, size_t count, uint8_t* y, uint8_t* cb,
                                                  uint8_t* cr) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i w_cb = _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(-21709) << 16) | 0xD4CD));
  const __m256i w_cr = _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(-5329) << 16) | 0x94D1));
  size_t i = 0;
  for (; i + 16 <= count; i += 16, rgb += 48) {
    __m256i r, g, b;
    LoadRgb16(rgb, &r, &g, &b);
    const __m256i rg_lo = _mm256_unpacklo_epi16(r, g), rg_hi = _mm256_unpackhi_epi16(r, g);
    const __m256i bg_lo = _mm256_unpacklo_epi16(b, g), bg_hi = _mm256_unpackhi_epi16(b, g);
    const __m256i gb_lo = _mm256_unpacklo_epi16(g, b), gb_hi = _mm256_unpackhi_epi16(g, b);
    Store16(y + i, Luma8(rg_lo, bg_lo), Luma8(rg_hi, bg_hi));
    Store16(cb + i, Chroma8(rg_lo, _mm256_unpacklo_epi16(b, zero), w_cb),
            Chroma8(rg_hi, _mm256_unpackhi_epi16(b, zero), w_cb));
    Store16(cr + i, Chroma8(gb_lo, _mm256_unpacklo_epi16(r, zero), w_cr),
            Chroma8(gb_hi, _mm256_unpackhi_epi16(r, zero), w_cr));
  }
  RgbToYccSsse3(rgb, count - i, y + i, cb + i, cr + i);
}

__attribute__((target("avx2"))) void RgbToYAvx2(const uint8_t* rgb, size_t count, uint8_t* y) {
  size_t i = 0;
  for (; i + 16 <= count; i += 16, rgb += 48) {
    __m256i r, g, b;
    LoadRgb16(rgb, &r, &g, &b);
    Store16(y + i, Luma8(_mm256_unpacklo_epi16(r, g), _mm256_unpacklo_epi16(b, g)),
            Luma8(_mm256_unpackhi_epi16(r, g), _mm256_unpackhi_epi16(b, g)));
  }
  RgbToYSsse3(rgb, count - i, y + i);
}

// AVX2: two blocks side by side, one in each 128-bit half. The transpose, transform and quantisation
// work within halves exactly as the SSE2 kernels do on one block, so each block's result is the same.
__attribute__((target("avx2"))) inline __m256i MulShift8x2(__m256i x, __m256i k) {
  const __m256i lo = _mm256_mullo_epi16(x, k);
  const __m256i hi = _mm256_mulhi_epi16(x, k);
  return _mm256_or_si256(_mm256_slli_epi16(hi, 8), _mm256_srli_epi16(lo, 8));
}

__attribute__((target("avx2"))) inline void Transpose8x8x2(__m256i* r) {
  const __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  r[0] = _mm256_unpacklo_epi64(b0, b4);
  r[1] = _mm256_unpackhi_epi64(b0, b4);
  r[2] = _mm256_unpacklo_epi64(b1, b5);
  r[3] = _mm256_unpackhi_epi64(b1, b5);
  r[4] = _mm256_unpacklo_epi64(b2, b6);
  r[5] = _mm256_unpackhi_epi64(b2, b6);
  r[6] = _mm256_unpacklo_epi64(b3, b7);
  r[7] = _mm256_unpackhi_epi64(b3, b7);
}

__attribute__((target("avx2"))) inline void DctPassx2(__m256i* d) {
  const __m256i c4 = _mm256_set1_epi16(181), c6 = _mm256_set1_epi16(98);
  const __m256i c2m6 = _mm256_set1_epi16(139), c2p6 = _mm256_set1_epi16(334);
  const __m256i t0 = _mm256_add_epi16(d[0], d[7]), t7 = _mm256_sub_epi16(d[0], d[7]);
  const __m256i t1 = _mm256_add_epi16(d[1], d[6]), t6 = _mm256_sub_epi16(d[1], d[6]);
  const __m256i t2 = _mm256_add_epi16(d[2], d[5]), t5 = _mm256_sub_epi16(d[2], d[5]);
  const __m256i t3 = _mm256_add_epi16(d[3], d[4]), t4 = _mm256_sub_epi16(d[3], d[4]);

  const __m256i t10 = _mm256_add_epi16(t0, t3), t13 = _mm256_sub_epi16(t0, t3);
  const __m256i t11 = _mm256_add_epi16(t1, t2), t12 = _mm256_sub_epi16(t1, t2);
  d[0] = _mm256_add_epi16(t10, t11);
  d[4] = _mm256_sub_epi16(t10, t11);
  const __m256i z1 = MulShift8x2(_mm256_add_epi16(t12, t13), c4);
  d[2] = _mm256_add_epi16(t13, z1);
  d[6] = _mm256_sub_epi16(t13, z1);

  const __m256i p10 = _mm256_add_epi16(t4, t5), p11 = _mm256_add_epi16(t5, t6), p12 = _mm256_add_epi16(t6, t7);
  const __m256i z5 = MulShift8x2(_mm256_sub_epi16(p10, p12), c6);
  const __m256i z2 = _mm256_add_epi16(MulShift8x2(p10, c2m6), z5);
  const __m256i z4 = _mm256_add_epi16(MulShift8x2(p12, c2p6), z5);
  const __m256i z3 = MulShift8x2(p11, c4);
  const __m256i z11 = _mm256_add_epi16(t7, z3), z13 = _mm256_sub_epi16(t7, z3);
  d[5] = _mm256_add_epi16(z13, z2);
  d[3] = _mm256_sub_epi16(z13, z2);
  d[1] = _mm256_add_epi16(z11, z4);
  d[7] = _mm256_sub_epi16(z11, z4);
}

__attribute__((target("avx2"))) inline __m256i Broadcast8(const uint16_t* p) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__attribute__((target("avx2"))) inline __m256i Quantize8x2(__m256i x, const QuantDivisors& divisors, int k) {
  const __m256i d = Broadcast8(divisors.divisor.data() + k);
  const __m256i m = Broadcast8(divisors.reciprocal.data() + k);
  const __m256i h = Broadcast8(divisors.half.data() + k);
  const __m256i sign = _mm256_srai_epi16(x, 15);
  const __m256i mag = _mm256_sub_epi16(_mm256_xor_si256(x, sign), sign);
  const __m256i n = _mm256_add_epi16(mag, h);
  __m256i q = _mm256_mulhi_epu16(n, m);
  const __m256i rem = _mm256_sub_epi16(n, _mm256_mullo_epi16(q, d));
  q = _mm256_add_epi16(q, _mm256_add_epi16(_mm256_set1_epi16(1), _mm256_cmpgt_epi16(d, rem)));
  return _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign);
}

// Row y of two full-resolution blocks, level-shifted.
__attribute__((target("avx2"))) inline __m256i FetchRow1x1x2(const uint8_t* a, const uint8_t* b, size_t stride,
                                                             int y) {
  const __m128i ra = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + stride * y));
  const __m128i rb = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + stride * y));
  const __m256i s = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(ra, rb));
  return _mm256_sub_epi16(s, _mm256_set1_epi16(128));
}

// Row y of two blocks averaged over 2 x 2 samples with the alternating 1, 2 bias, level-shifted.
__attribute__((target("avx2"))) inline __m256i FetchRow2x2x2(const uint8_t* a, const uint8_t* b, size_t stride,
                                                             int y) {
  const __m256i zero = _mm256_setzero_si256(), ones = _mm256_set1_epi16(1);
  const size_t at = 2 * stride * y;
  const __m256i r0 =
      _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at))),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at)), 1);
  const __m256i r1 = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at + stride))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at + stride)), 1);
  const __m256i lo = _mm256_add_epi16(_mm256_unpacklo_epi8(r0, zero), _mm256_unpacklo_epi8(r1, zero));
  const __m256i hi = _mm256_add_epi16(_mm256_unpackhi_epi8(r0, zero), _mm256_unpackhi_epi8(r1, zero));
  const __m256i sums = _mm256_packs_epi32(_mm256_madd_epi16(lo, ones), _mm256_madd_epi16(hi, ones));
  const __m256i avg = _mm256_srai_epi16(
      _mm256_add_epi16(sums, _mm256_setr_epi16(1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2)), 2);
  return _mm256_sub_epi16(avg, _mm256_set1_epi16(128));
}

template <__m256i (*FetchRow)(const uint8_t*, const uint8_t*, size_t, int)>
__attribute__((target("avx2"))) void EncodePairAvx2(const uint8_t* a, const uint8_t* b, size_t stride,
                                                    const QuantDivisors& divisors, int16_t* out_a,
                                                    int16_t* out_b) {
  __m256i r[8];
  for (int y = 0; y < 8; ++y) r[y] = FetchRow(a, b, stride, y);
  Transpose8x8x2(r);
  DctPassx2(r);
  Transpose8x8x2(r);
  DctPassx2(r);
  for (int i = 0; i < 8; ++i) {
    const __m256i q = Quantize8x2(r[i], divisors, 8 * i);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_a + 8 * i), _mm256_castsi256_si128(q));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out_b + 8 * i), _mm256_extracti128_si256(q, 1));
  }
}

// Indices of the natural positions for the 32 zig-zag positions from `first`, as word permutation
// indices over two registers (0..31 the first half of the block, 32..63 the second).
struct ZigzagIndices {
  alignas(64) uint16_t lo[32];
  alignas(64) uint16_t hi[32];
};
constexpr ZigzagIndices kZigzagIndices = [] {
  ZigzagIndices z{};
  for (int k = 0; k < 32; ++k) {
    z.lo[k] = kZigzagToNatural[k];
    z.hi[k] = kZigzagToNatural[32 + k];
  }
  return z;
}();

__attribute__((target("avx512bw"))) void ZigzagStoreAvx512(const int16_t* natural, uint8_t* out) {
  const __m512i a = _mm512_loadu_si512(natural);
  const __m512i b = _mm512_loadu_si512(natural + 32);
  const __m512i lo = _mm512_load_si512(kZigzagIndices.lo);
  const __m512i hi = _mm512_load_si512(kZigzagIndices.hi);
  _mm512_storeu_si512(out, _mm512_permutex2var_epi16(a, lo, b));
  _mm512_storeu_si512(out + 64, _mm512_permutex2var_epi16(a, hi, b));
}

const TransformKernels kSse2Kernels = {"sse2",
                                       RgbToYccScalar,
                                       RgbToYScalar,
                                       FetchBlock1x1Sse2,
                                       FetchBlock2x2Sse2,
                                       ForwardDctSse2,
                                       QuantizeSse2,
                                       EncodeBlockSse2<FetchRow1x1>,
                                       EncodeBlockSse2<FetchRow2x2>,
                                       NonZeroMaskSse2,
                                       nullptr,
                                       nullptr,
                                       PointMasksSse2,
                                       ZigzagStoreScalar};
const TransformKernels kSsse3Kernels = {"ssse3",
                                        RgbToYccSsse3,
                                        RgbToYSsse3,
                                        FetchBlock1x1Sse2,
                                        FetchBlock2x2Sse2,
                                        ForwardDctSse2,
                                        QuantizeSse2,
                                        EncodeBlockSse2<FetchRow1x1>,
                                        EncodeBlockSse2<FetchRow2x2>,
                                        NonZeroMaskSse2,
                                        nullptr,
                                        nullptr,
                                        PointMasksSse2,
                                        ZigzagStoreScalar};

const TransformKernels kAvx2Kernels = {"avx2",
                                       RgbToYccAvx2,
                                       RgbToYAvx2,
                                       FetchBlock1x1Sse2,
                                       FetchBlock2x2Sse2,
                                       ForwardDctSse2,
                                       QuantizeSse2,
                                       EncodeBlockSse2<FetchRow1x1>,
                                       EncodeBlockSse2<FetchRow2x2>,
                                       NonZeroMaskSse2,
                                       EncodePairAvx2<FetchRow1x1x2>,
                                       EncodePairAvx2<FetchRow2x2x2>,
                                       PointMasksSse2,
                                       ZigzagStoreScalar};

// The AVX2 set with the zig-zag store of AVX-512 BW: two 32-lane word permutations across both halves of
// the block.
const TransformKernels kAvx512Kernels = {"avx512",
                                         RgbToYccAvx2,
                                         RgbToYAvx2,
                                         FetchBlock1x1Sse2,
                                         FetchBlock2x2Sse2,
                                         ForwardDctSse2,
                                         QuantizeSse2,
                                         EncodeBlockSse2<FetchRow1x1>,
                                         EncodeBlockSse2<FetchRow2x2>,
                                         NonZeroMaskSse2,
                                         EncodePairAvx2<FetchRow1x1x2>,
                                         EncodePairAvx2<FetchRow2x2x2>,
                                         PointMasksSse2,
                                         ZigzagStoreAvx512};

}  // namespace

std::vector<const TransformKernels*> SupportedSimdKernels() {
  __builtin_cpu_init();
  std::vector<const TransformKernels*> sets;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw")) sets.push_back(&kAvx512Kernels);
  if (__builtin_cpu_supports("avx2")) sets.push_back(&kAvx2Kernels);
  if (__builtin_cpu_supports("ssse3")) sets.push_back(&kSsse3Kernels);
  if (__builtin_cpu_supports("sse2")) sets.push_back(&kSse2Kernels);
  return sets;
}

const TransformKernels* SimdKernels() {
  static const TransformKernels* const chosen = [] {
    const auto sets = SupportedSimdKernels();
    return sets.empty() ? nullptr : sets.front();
  }();
  return chosen;
}

}  // namespace zc::jpeg

#else

namespace zc::jpeg {
std::vector<const TransformKernels*> SupportedSimdKernels() {
  return {};
}
const TransformKernels* SimdKernels() {
  return nullptr;
}
}  // namespace zc::jpeg

#endif
