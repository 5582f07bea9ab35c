// Block stores with replication and decimation for scaled JPEG decoding.
#include "codec/jpeg/decoder/jpeg_block_store.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstddef>
#include <cstring>

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {

AxisStore ChooseAxisStore(uint32_t f, int error_code) {
  AxisStore s;
  if (f == 2048) return s;
  if (f == 4096) {
    s.mode = StoreMode::kDouble;
    s.factor = 2;
    return s;
  }
  uint32_t n = 0;
  if (f >= 256 && f < 2048) {
    s.mode = StoreMode::kReduce;
    n = 2048 / f;
  } else if (f > 2048 && f <= 16384) {
    s.mode = StoreMode::kMultiply;
    n = f >> 11;
  }
  if (n != 2 && n != 4 && n != 8) Fail(error_code);
  s.factor = static_cast<uint8_t>(n);
  return s;
}

void StoreBlock(const AxisStore& h, const AxisStore& v, const uint8_t block[64], uint8_t* dst, int stride) {
  // The chroma stores of 4:2:0 and 4:2:2 pictures, written directly.
  if (h.mode == StoreMode::kDouble && v.mode != StoreMode::kReduce && v.mode != StoreMode::kMultiply) {
    const int rep = v.mode == StoreMode::kDouble ? 2 : 1;
    for (int r = 0; r < 8; ++r) {
      const uint8_t* s = block + r * 8;
      uint8_t* d = dst + static_cast<ptrdiff_t>(r * rep) * stride;
#if defined(__SSE2__)
      const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
      const __m128i doubled = _mm_unpacklo_epi8(x, x);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), doubled);
      if (rep == 2) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + stride), doubled);
#else
      for (int i = 0; i < 8; ++i) d[2 * i] = d[2 * i + 1] = s[i];
      if (rep == 2) std::memcpy(d + stride, d, 16);
#endif
    }
    return;
  }
  // One output row from one block row.
  int out_w = h.OutSize();
  uint8_t row[64];
  auto make_row = [&](const uint8_t* src) -> const uint8_t* {
    switch (h.mode) {
      case StoreMode::kCopy:
        return src;
      case StoreMode::kReduce:
        for (int i = 0; i < out_w; ++i) row[i] = src[i * h.factor];
        return row;
      default:
        for (int i = 0, o = 0; i < 8; ++i) {
          for (int k = 0; k < h.factor; ++k) row[o++] = src[i];
        }
        return row;
    }
  };
  if (v.mode == StoreMode::kReduce) {
    for (int r = 0, o = 0; r < 8; r += v.factor, ++o) {
      std::memcpy(dst + o * stride, make_row(block + r * 8), out_w);
    }
    return;
  }
  int rep = v.mode == StoreMode::kCopy ? 1 : v.factor;
  for (int r = 0; r < 8; ++r) {
    const uint8_t* src = make_row(block + r * 8);
    for (int k = 0; k < rep; ++k) std::memcpy(dst + (r * rep + k) * stride, src, out_w);
  }
}

}  // namespace zc::jpegdec
