// Gray level mapping with ordered dither (order-4 Bayer matrix) and Floyd-Steinberg error diffusion
// (weights 7/16, 3/16, 5/16, 1/16, serpentine rows).
#include "codec/jpeg/decoder/jpeg_gray_map.h"

#include <algorithm>

namespace zc::jpegdec {
namespace {

constexpr int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

}  // namespace

int GrayLevelValue(int j, int n) {
  return (j * 255 + (n - 1) / 2) / (n - 1);
}

GrayMapper::GrayMapper(int levels, int dither, int width)
    : levels_(levels), dither_(dither >= 0 && dither <= 2 ? dither : 0) {
  const int n = levels_;
  int k = 0;
  for (int v = -255; v <= 510; ++v) {
    const int c = std::clamp(v, 0, 255);
    while (k < n - 1 && ((2 * k + 1) * 255 + (n - 1)) / (2 * (n - 1)) < c) ++k;
    index_[static_cast<size_t>(v + 255)] = static_cast<uint8_t>(k);
    error_[static_cast<size_t>(v + 255)] = static_cast<int16_t>(v - GrayLevelValue(k, n));
  }
  for (int i = 0; i < 16; ++i)
    ordered_[i] = static_cast<int16_t>(((15 - 2 * kBayer[i]) * 255) / (34 * (n - 1)));
  errors_.assign(static_cast<size_t>(width) + 2, 0);
}

void GrayMapper::Map(const uint8_t* rgb, int width, int rows, uint8_t* out) {
  if (static_cast<size_t>(width) + 2 > errors_.size()) errors_.resize(static_cast<size_t>(width) + 2, 0);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* in = rgb + static_cast<size_t>(r) * width * 3;
    uint8_t* o = out + static_cast<size_t>(r) * width;
    if (dither_ == 0) {
      for (int x = 0; x < width; ++x) o[x] = static_cast<uint8_t>(Level(in[3 * x]));
    } else if (dither_ == 1) {
      const int16_t* d = ordered_.data() + 4 * row_phase_;
      for (int x = 0; x < width; ++x) o[x] = static_cast<uint8_t>(Level(in[3 * x] + d[x & 3]));
      row_phase_ = (row_phase_ + 1) & 3;
    } else {
      // Even rows of the band left to right, odd rows right to left. errors_[p] holds the error
      // accumulated for column p - 1 from the row above.
      const int dir = (r & 1) ? -1 : 1;
      int x = dir > 0 ? 0 : width - 1;
      int ep = dir > 0 ? 0 : width + 1;
      int carry = 0, below = 0, below_prev = 0;
      for (int i = 0; i < width; ++i, x += dir, ep += dir) {
        int v = ((carry + errors_[static_cast<size_t>(ep + dir)] + 8) >> 4) + in[3 * x];
        v = std::clamp(v, -255, 510);
        o[x] = static_cast<uint8_t>(Level(v));
        const int q = error_[static_cast<size_t>(v + 255)];
        errors_[static_cast<size_t>(ep)] = below_prev + 3 * q;
        below_prev = below + 5 * q;
        below = q;
        carry = 7 * q;
      }
      errors_[static_cast<size_t>(ep)] = below_prev;
    }
  }
}

}  // namespace zc::jpegdec
