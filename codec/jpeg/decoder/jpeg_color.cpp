// YCbCr to RGB conversion with colour offsets and gains (JFIF 1.02 conversion equations).
#include "codec/jpeg/decoder/jpeg_color.h"

#include <cstddef>
#include <cstring>
#include <utility>

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

constexpr int kChunk = 256;

typedef uint8_t V16 __attribute__((vector_size(16)));

ZC_JPEGDEC_MULTIVERSION void ConvertRow(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width,
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

}  // namespace

void ColorConverter::Convert(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int stride, int width,
                             int rows, uint8_t* rgb) const {
  if (swap_) std::swap(cb, cr);
  RowCoefficients k{};
  if (path_ == Path::kPlain || path_ == Path::kGain) {
    // Table entry i = floor((A + B * i) / 65536) + offset, so A + offset * 65536 reproduces it.
    k = {32768 - 128 * 91881 + offsets_[0] * 65536,
         91881,
         32768 - 128 * -46802 + offsets_[1] * 65536,
         -46802,
         32768 - 128 * -22554,
         -22554,
         32768 - 128 * 116130 + offsets_[2] * 65536,
         116130,
         gain_[0],
         gain_[1],
         gain_[2]};
  }
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
        ConvertRow(py, cb + off, cr + off, width, path_ == Path::kGain, k, rgb);
        rgb += static_cast<std::ptrdiff_t>(width) * 3;
        break;
    }
  }
}

}  // namespace zc::jpegdec
