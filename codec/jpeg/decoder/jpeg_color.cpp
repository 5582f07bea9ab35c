// YCbCr to RGB conversion with colour offsets and gains (JFIF 1.02 conversion equations).
#include "codec/jpeg/decoder/jpeg_color.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_simd.h"

namespace zc::jpegdec {
namespace {

inline uint8_t Clamp(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void FillTable(std::array<int16_t, 256>& t, int32_t b, int32_t offset) {
  int32_t a = 32768 - 128 * b;
  for (int i = 0; i < 256; ++i) {
    int32_t v = (a + b * i) >> 16;  // arithmetic shift: floor
    t[i] = static_cast<int16_t>(v + offset);
  }
}

}  // namespace

void ColorConverter::Setup(JpegOutputKind kind, const ColorAdjust& adj) {
  bool gray = kind == kKindGray;
  swap_ = kind == kKindMappedSwap || kind == kKindRgbSwap;
  int32_t off[3] = {0, 0, 0};  // Cr->R, Cr->G, Cb->B
  if (!gray) {
    auto check = [](int32_t o) {
      if (o < -255 || o > 255) Fail(kErrColorAdd);
      return o;
    };
    if (adj.offset[0]) {
      off[0] = off[1] = off[2] = check(adj.offset[0]);
    } else if (adj.offset[1]) {
      off[0] = check(adj.offset[1]);
    } else if (adj.offset[2]) {
      off[1] = check(adj.offset[2]);
    } else if (adj.offset[3]) {
      off[2] = check(adj.offset[3]);
    }
  }
  offsets_ = {off[0], off[1], off[2]};
  FillTable(cr_r_, 91881, off[0]);
  FillTable(cr_g_, -46802, off[1]);
  FillTable(cb_b_, 116130, off[2]);
  FillTable(cb_g_, -22554, 0);

  bool any_gain = adj.gain[0] || adj.gain[1] || adj.gain[2] || adj.gain[3];
  auto check_gain = [](int32_t g) {
    if (g < 1 || g > 4096) Fail(kErrColorGain);
    return g;
  };
  if (gray && (any_gain || adj.offset[0])) {
    path_ = Path::kGrayGain;
    if (adj.offset[0] < -255 || adj.offset[0] > 255) Fail(kErrColorAdd);
    gray_offset_ = adj.offset[0];
    gray_gain_ = adj.gain[0] ? check_gain(adj.gain[0]) : 2048;
  } else if (gray) {
    path_ = Path::kGray;
  } else if (any_gain) {
    path_ = Path::kGain;
    gain_ = {2048, 2048, 2048};
    if (adj.gain[0]) {
      int32_t g = check_gain(adj.gain[0]);
      gain_ = {g, g, g};
    } else {
      for (int c = 0; c < 3; ++c) {
        if (adj.gain[c + 1]) {
          gain_[c] = check_gain(adj.gain[c + 1]);
          break;
        }
      }
    }
  } else {
    path_ = Path::kPlain;
  }
}

namespace {

// Plain and gain paths for one row, computed from the table formulas so that the compiler can run them
// on vectors; results equal the table lookups entry for entry.
struct RowCoefficients {
  int32_t a_rr, b_rr, a_rg, b_rg, a_bg, b_bg, a_bb, b_bb;  // A + offset * 65536 and B of each table
  int32_t g_r, g_g, g_b;                                   // gains in 1/2048 (2048 = none)
};

// Table entry i = floor((A + B * i) / 65536) + offset, so A + offset * 65536 reproduces it.
RowCoefficients MakeCoefficients(const std::array<int32_t, 3>& offsets, const std::array<int32_t, 3>& gains) {
  return {32768 - 128 * 91881 + offsets[0] * 65536,
          91881,
          32768 - 128 * -46802 + offsets[1] * 65536,
          -46802,
          32768 - 128 * -22554,
          -22554,
          32768 - 128 * 116130 + offsets[2] * 65536,
          116130,
          gains[0],
          gains[1],
          gains[2]};
}

constexpr int kChunk = 256;

typedef uint8_t V16 __attribute__((vector_size(16)));

ZC_JPEGDEC_MULTIVERSION void ConvertChunks(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width,
                                           bool gain, const RowCoefficients& k, uint8_t* rgb) {
  alignas(32) uint8_t r[kChunk], g[kChunk], b[kChunk];
  for (int x0 = 0; x0 < width; x0 += kChunk) {
    const int n = width - x0 < kChunk ? width - x0 : kChunk;
    for (int i = 0; i < n; ++i) {
      const int32_t l = y[x0 + i], u = cb[x0 + i], v = cr[x0 + i];
      int32_t rv = l + ((k.a_rr + k.b_rr * v) >> 16);
      int32_t gv = l + ((k.a_bg + k.b_bg * u) >> 16) + ((k.a_rg + k.b_rg * v) >> 16);
      int32_t bv = l + ((k.a_bb + k.b_bb * u) >> 16);
      if (gain) {
        rv = rv * k.g_r / 2048;
        gv = gv * k.g_g / 2048;
        bv = bv * k.g_b / 2048;
      }
      r[i] = static_cast<uint8_t>(rv < 0 ? 0 : (rv > 255 ? 255 : rv));
      g[i] = static_cast<uint8_t>(gv < 0 ? 0 : (gv > 255 ? 255 : gv));
      b[i] = static_cast<uint8_t>(bv < 0 ? 0 : (bv > 255 ? 255 : bv));
    }
    uint8_t* o = rgb + static_cast<ptrdiff_t>(x0) * 3;
    int i = 0;
    // Sixteen pixels at a time: R, G and B interleaved by byte shuffles.
    for (; i + 16 <= n; i += 16) {
      V16 vr, vg, vb;
      std::memcpy(&vr, r + i, 16);
      std::memcpy(&vg, g + i, 16);
      std::memcpy(&vb, b + i, 16);
      const V16 rg0 = __builtin_shufflevector(vr, vg, 0, 16, 0, 1, 17, 0, 2, 18, 0, 3, 19, 0, 4, 20, 0, 5);
      const V16 o0 =
          __builtin_shufflevector(rg0, vb, 0, 1, 16, 3, 4, 17, 6, 7, 18, 9, 10, 19, 12, 13, 20, 15);
      const V16 rg1 = __builtin_shufflevector(vr, vg, 21, 0, 6, 22, 0, 7, 23, 0, 8, 24, 0, 9, 25, 0, 10, 26);
      const V16 o1 =
          __builtin_shufflevector(rg1, vb, 0, 21, 2, 3, 22, 5, 6, 23, 8, 9, 24, 11, 12, 25, 14, 15);
      const V16 rg2 =
          __builtin_shufflevector(vr, vg, 0, 11, 27, 0, 12, 28, 0, 13, 29, 0, 14, 30, 0, 15, 31, 0);
      const V16 o2 =
          __builtin_shufflevector(rg2, vb, 26, 1, 2, 27, 4, 5, 28, 7, 8, 29, 10, 11, 30, 13, 14, 31);
      std::memcpy(o + 3 * i, &o0, 16);
      std::memcpy(o + 3 * i + 16, &o1, 16);
      std::memcpy(o + 3 * i + 32, &o2, 16);
    }
    for (; i < n; ++i) {
      o[3 * i] = r[i];
      o[3 * i + 1] = g[i];
      o[3 * i + 2] = b[i];
    }
  }
}

// The portable row: half-resolution chroma is first replicated into full rows, a chunk at a time.
void ConvertRowPortable(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, bool chroma_h2,
                        bool gain, const RowCoefficients& k, uint8_t* rgb) {
  if (!chroma_h2) {
    ConvertChunks(y, cb, cr, width, gain, k, rgb);
    return;
  }
  uint8_t u[kChunk], v[kChunk];
  for (int x0 = 0; x0 < width; x0 += kChunk) {
    const int n = width - x0 < kChunk ? width - x0 : kChunk;
    for (int i = 0; i < n; ++i) {
      u[i] = cb[(x0 + i) >> 1];
      v[i] = cr[(x0 + i) >> 1];
    }
    ConvertChunks(y + x0, u, v, n, gain, k, rgb + static_cast<ptrdiff_t>(x0) * 3);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define ZC_JPEGDEC_COLOR_AVX2 1

// floor((x * k + 32768) / 65536) per 16-bit lane: the high half of the product, plus one when the low
// half reaches 32768.
__attribute__((target("avx2"))) inline __m256i RoundedHigh(__m256i x, __m256i k) {
  return _mm256_add_epi16(_mm256_mulhi_epi16(x, k), _mm256_srli_epi16(_mm256_mullo_epi16(x, k), 15));
}

// Byte shuffles that interleave sixteen R, G and B samples into 48 bytes: out[j] byte p is channel
// (16j + p) % 3 of pixel (16j + p) / 3.
alignas(16) constexpr auto kRgbMasks = [] {
  std::array<std::array<std::array<int8_t, 16>, 3>, 3> m{};  // [out vector][channel][byte]
  for (int j = 0; j < 3; ++j) {
    for (int ch = 0; ch < 3; ++ch) {
      for (int p = 0; p < 16; ++p) {
        const int gi = 16 * j + p;
        m[j][ch][p] = static_cast<int8_t>(gi % 3 == ch ? gi / 3 : -128);
      }
    }
  }
  return m;
}();

// Sixteen pixels from their R, G and B values in 16-bit lanes: the saturating pack is the clamp to 0..255.
__attribute__((target("avx2"))) inline void StoreRgb16(__m256i r, __m256i g, __m256i b, uint8_t* o) {
  // Packs work within 128-bit halves; the permute puts the sixteen R (and G) bytes side by side.
  const __m256i rg = _mm256_permute4x64_epi64(_mm256_packus_epi16(r, g), 0xD8);
  const __m256i bb = _mm256_permute4x64_epi64(_mm256_packus_epi16(b, b), 0xD8);
  const __m128i vr = _mm256_castsi256_si128(rg), vg = _mm256_extracti128_si256(rg, 1);
  const __m128i vb = _mm256_castsi256_si128(bb);
  for (int j = 0; j < 3; ++j) {
    const __m128i out = _mm_or_si128(
        _mm_or_si128(
            _mm_shuffle_epi8(vr, _mm_load_si128(reinterpret_cast<const __m128i*>(kRgbMasks[j][0].data()))),
            _mm_shuffle_epi8(vg, _mm_load_si128(reinterpret_cast<const __m128i*>(kRgbMasks[j][1].data())))),
        _mm_shuffle_epi8(vb, _mm_load_si128(reinterpret_cast<const __m128i*>(kRgbMasks[j][2].data()))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * j), out);
  }
}

// The chroma parts of R, G and B for sixteen pixels, offsets included: each channel is then the luma plus
// its part (16-bit lanes that never overflow, so the order of the additions does not matter).
struct ChromaTerms {
  __m256i r, g, b;
};

// See ConvertRowAvx2 for the constants.
__attribute__((target("avx2"))) inline ChromaTerms MakeChromaTerms(__m128i u8, __m128i v8,
                                                                   const int32_t offsets[3]) {
  const __m256i c128 = _mm256_set1_epi16(128);
  const __m256i u = _mm256_sub_epi16(_mm256_cvtepu8_epi16(u8), c128);
  const __m256i v = _mm256_sub_epi16(_mm256_cvtepu8_epi16(v8), c128);
  const __m256i off_r = _mm256_set1_epi16(static_cast<int16_t>(offsets[0]));
  const __m256i off_g = _mm256_set1_epi16(static_cast<int16_t>(offsets[1]));
  const __m256i off_b = _mm256_set1_epi16(static_cast<int16_t>(offsets[2]));
  ChromaTerms t;
  t.r = _mm256_add_epi16(off_r, _mm256_add_epi16(v, RoundedHigh(v, _mm256_set1_epi16(26345))));
  t.g = _mm256_add_epi16(off_g,
                         _mm256_add_epi16(RoundedHigh(u, _mm256_set1_epi16(-22554)),
                                          _mm256_sub_epi16(RoundedHigh(v, _mm256_set1_epi16(18734)), v)));
  t.b = _mm256_add_epi16(off_b,
                         _mm256_add_epi16(_mm256_add_epi16(u, u), RoundedHigh(u, _mm256_set1_epi16(-14942))));
  return t;
}

// Sixteen pixels of one row: luma plus the chroma terms.
__attribute__((target("avx2"))) inline void StoreRow16(const uint8_t* y, const ChromaTerms& t, uint8_t* o) {
  const __m256i l = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
  StoreRgb16(_mm256_add_epi16(l, t.r), _mm256_add_epi16(l, t.g), _mm256_add_epi16(l, t.b), o);
}

// The plain path (no gains) on 16-bit lanes, sixteen pixels a step. Each table entry is
// floor((32768 + B * (i - 128)) / 65536) + offset; B is split into a multiple of 65536, which adds whole
// chroma values, and a rest that fits 16 bits: 91881 = 65536 + 26345, -46802 = -65536 + 18734,
// 116130 = 131072 - 14942 (-22554 fits as it is). The saturating pack is the clamp to 0..255.
__attribute__((target("avx2"))) void ConvertRowAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                                                    int width, bool chroma_h2, const int32_t offsets[3],
                                                    uint8_t* rgb) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i u8, v8;
    if (chroma_h2) {
      const __m128i u_half = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2));
      const __m128i v_half = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2));
      u8 = _mm_unpacklo_epi8(u_half, u_half);
      v8 = _mm_unpacklo_epi8(v_half, v_half);
    } else {
      u8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
      v8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
    }
    StoreRow16(y + x, MakeChromaTerms(u8, v8, offsets), rgb + static_cast<ptrdiff_t>(x) * 3);
  }
  for (; x < width; ++x) {
    const int32_t l = y[x];
    const int32_t u = (chroma_h2 ? cb[x >> 1] : cb[x]) - 128;
    const int32_t v = (chroma_h2 ? cr[x >> 1] : cr[x]) - 128;
    const int32_t rv = l + ((32768 + 91881 * v) >> 16) + offsets[0];
    const int32_t gv = l + ((32768 - 22554 * u) >> 16) + ((32768 - 46802 * v) >> 16) + offsets[1];
    const int32_t bv = l + ((32768 + 116130 * u) >> 16) + offsets[2];
    uint8_t* o = rgb + static_cast<ptrdiff_t>(x) * 3;
    o[0] = Clamp(rv);
    o[1] = Clamp(gv);
    o[2] = Clamp(bv);
  }
}

// Two rows that share a half-resolution chroma row (2:1 both ways): the chroma terms of sixteen chroma
// samples serve 32 pixels of each row.
__attribute__((target("avx2"))) void ConvertRowPairAvx2(const uint8_t* y0, const uint8_t* y1,
                                                        const uint8_t* cb, const uint8_t* cr, int width,
                                                        const int32_t offsets[3], uint8_t* rgb0,
                                                        uint8_t* rgb1) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x / 2));
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x / 2));
    const ChromaTerms lo = MakeChromaTerms(_mm_unpacklo_epi8(u, u), _mm_unpacklo_epi8(v, v), offsets);
    const ChromaTerms hi = MakeChromaTerms(_mm_unpackhi_epi8(u, u), _mm_unpackhi_epi8(v, v), offsets);
    StoreRow16(y0 + x, lo, rgb0 + static_cast<ptrdiff_t>(x) * 3);
    StoreRow16(y0 + x + 16, hi, rgb0 + static_cast<ptrdiff_t>(x + 16) * 3);
    StoreRow16(y1 + x, lo, rgb1 + static_cast<ptrdiff_t>(x) * 3);
    StoreRow16(y1 + x + 16, hi, rgb1 + static_cast<ptrdiff_t>(x + 16) * 3);
  }
  if (x < width) {
    ConvertRowAvx2(y0 + x, cb + x / 2, cr + x / 2, width - x, true, offsets,
                   rgb0 + static_cast<ptrdiff_t>(x) * 3);
    ConvertRowAvx2(y1 + x, cb + x / 2, cr + x / 2, width - x, true, offsets,
                   rgb1 + static_cast<ptrdiff_t>(x) * 3);
  }
}

#endif

}  // namespace

void ColorConverter::ConvertRow(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width,
                                bool chroma_h2, int phase, uint8_t* rgb) const {
  if (width <= 0) return;
  if (swap_) std::swap(cb, cr);
  if (path_ == Path::kGray || path_ == Path::kGrayGain) {
    Convert(y, cb, cr, 0, width, 1, rgb);
    return;
  }
  if (chroma_h2 && (phase & 1)) {
    // The window starts on the second pixel of a chroma pair: that pixel alone, then whole pairs.
    ConvertRowPortable(y, cb, cr, 1, false, path_ == Path::kGain, MakeCoefficients(offsets_, gain_), rgb);
    ++y;
    ++cb;
    ++cr;
    rgb += 3;
    --width;
  }
#if defined(ZC_JPEGDEC_COLOR_AVX2)
  if (path_ == Path::kPlain && CpuHasAvx2()) {
    ConvertRowAvx2(y, cb, cr, width, chroma_h2, offsets_.data(), rgb);
    return;
  }
#endif
  ConvertRowPortable(y, cb, cr, width, chroma_h2, path_ == Path::kGain, MakeCoefficients(offsets_, gain_),
                     rgb);
}

void ColorConverter::ConvertRowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb,
                                    const uint8_t* cr, int width, int phase, uint8_t* rgb0,
                                    uint8_t* rgb1) const {
#if defined(ZC_JPEGDEC_COLOR_AVX2)
  if (path_ == Path::kPlain && !(phase & 1) && width > 0 && CpuHasAvx2()) {
    if (swap_) std::swap(cb, cr);
    ConvertRowPairAvx2(y0, y1, cb, cr, width, offsets_.data(), rgb0, rgb1);
    return;
  }
#endif
  ConvertRow(y0, cb, cr, width, true, phase, rgb0);
  ConvertRow(y1, cb, cr, width, true, phase, rgb1);
}

void ColorConverter::Convert(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int stride, int width,
                             int rows, uint8_t* rgb) const {
  // The chroma exchange of the swapped kinds happens in ConvertRow.
  for (int r = 0; r < rows; ++r) {
    const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(r) * stride;
    const uint8_t* py = y + off;
    switch (path_) {
      case Path::kGray:
        for (int x = 0; x < width; ++x) {
          rgb[0] = rgb[1] = rgb[2] = py[x];
          rgb += 3;
        }
        break;
      case Path::kGrayGain:
        for (int x = 0; x < width; ++x) {
          rgb[0] = rgb[1] = rgb[2] = Clamp(py[x] * gray_gain_ / 2048 + gray_offset_);
          rgb += 3;
        }
        break;
      case Path::kPlain:
      case Path::kGain:
        ConvertRow(py, cb + off, cr + off, width, false, 0, rgb);
        rgb += static_cast<std::ptrdiff_t>(width) * 3;
        break;
    }
  }
}

}  // namespace zc::jpegdec
