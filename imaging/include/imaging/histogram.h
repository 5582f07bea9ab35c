// Gray-level histograms of 4- and 8-bit records: 16 counters, 8-bit levels binned by their high nibble,
// 4-bit levels by their own value. Other depths leave the counters untouched.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zc::imaging {

using Histogram = std::array<uint32_t, 16>;

// Mode 0: eight samples a row; mode 2: the same samples below the first bright row of the top half; any
// other mode every pixel. 1, or -552 when the record does not fit its buffer.
int funcGetHistogram(std::span<const uint8_t> record, int mode, Histogram& histogram);

// The same over rows top..bottom-1 and columns left..right-1 (mode 0 sampled, others every pixel); the
// window is clamped to the record. -552 unless top < bottom and left < right + 18; otherwise 1.
int funcMiniGetHistogram(std::span<const uint8_t> record, int mode, Histogram& histogram, int top, int left,
                         int bottom, int right);

}  // namespace zc::imaging
