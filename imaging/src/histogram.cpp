// Histograms: sampled (eight evenly spaced samples per row), sampled below the first bright row, and
// every pixel.
#include "imaging/histogram.h"

#include <algorithm>

#include "imaging/image_record.h"
#include "imaging_trace.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

constexpr int kSamplesPerRow = 8;

// Level of sample k (1..8) of a row whose first byte is `row`: 8 bit the pixel at left + k * step,
// 4 bit the low nibble of the byte at leftByte + k * step.
int SampleLevel(const uint8_t* row, int bits, int first, int step, int k) {
  const uint8_t v = row[first + k * step];
  return bits == 8 ? v >> 4 : v & 0x0F;
}

struct Window {
  int top, left, bottom, right;
};

void CountSampledRow(const uint8_t* row, int bits, int first, int step, Histogram& h) {
  for (int k = 1; k <= kSamplesPerRow; ++k) ++h[SampleLevel(row, bits, first, step, k)];
}

void CountRowPixels(const uint8_t* row, int bits, int left, int right, Histogram& h) {
  if (bits == 8) {
    for (int x = left; x < right; ++x) ++h[row[x] >> 4];
  } else {
    for (int b = left / 2; b < (right + 1) / 2; ++b) {
      ++h[row[b] >> 4];
      ++h[row[b] & 0x0F];
    }
  }
}

// Sample step and first sample origin of a window: samples sit at origin + k * step, k = 1..8, and never
// leave the window's row.
void SampleGeometry(int bits, const Window& w, int* first, int* step) {
  if (bits == 8) {
    *step = (w.right - w.left) / 9;
    *first = w.left;
  } else {
    *step = (w.right - w.left) / 18;
    *first = w.left / 2;
  }
}

void Count(const ConstRecordView& v, int mode, const Window& w, Histogram& h) {
  const int bits = v.header.bits;
  h.fill(0);
  if (w.top >= w.bottom || w.left >= w.right) return;
  if (mode != 0 && mode != 2) {
    for (int y = w.top; y < w.bottom; ++y) CountRowPixels(v.Row(y), bits, w.left, w.right, h);
    return;
  }
  int first = 0;
  int step = 0;
  SampleGeometry(bits, w, &first, &step);
  int y = w.top;
  if (mode == 2) {
    const int half = w.top + (w.bottom - w.top) / 2;
    while (y < half) {
      int bright = 0;
      for (int k = 1; k <= kSamplesPerRow; ++k) bright += SampleLevel(v.Row(y), bits, first, step, k) > 8;
      ++y;
      if (bright >= 3) break;
    }
  }
  for (; y < w.bottom; ++y) CountSampledRow(v.Row(y), bits, first, step, h);
}

}  // namespace

int funcGetHistogram(std::span<const uint8_t> record, int mode, Histogram& histogram) {
  TraceAt(1, "funcGetHistogram(%d)", mode);
  const auto v = CheckRecord(record);
  if (!v) return status::kBadRecord;
  if (v->header.bits != 8 && v->header.bits != 4) return 1;
  Count(*v, mode, Window{0, 0, v->header.height, v->header.width}, histogram);
  return 1;
}

int funcMiniGetHistogram(std::span<const uint8_t> record, int mode, Histogram& histogram, int top, int left,
                         int bottom, int right) {
  TraceAt(1, "funcMiniGetHistogram(%d)", mode);
  if (!(top < bottom && static_cast<int64_t>(left) < static_cast<int64_t>(right) + 18)) return status::kBadRecord;
  const auto v = CheckRecord(record);
  if (!v) return status::kBadRecord;
  if (v->header.bits != 8 && v->header.bits != 4) return 1;
  // The window is clamped to the record, so no sample or pixel lies outside its rows.
  Window w{std::max(top, 0), std::max(left, 0), std::min(bottom, v->header.height),
           std::min(right, v->header.width)};
  Count(*v, mode == 0 ? 0 : 1, w, histogram);
  return 1;
}

}  // namespace zc::imaging
