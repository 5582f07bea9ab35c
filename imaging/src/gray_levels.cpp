// 24-bit to gray conversion and gray-level stretching of records.
#include <algorithm>
#include <array>

#include "codec/jpeg/color_convert.h"
#include "imaging/histogram.h"
#include "imaging/image_record.h"
#include "imaging/record_helpers.h"
#include "imaging_trace.h"
#include "status_codes.h"

namespace zc::imaging {

int funcConv24ToGray(std::span<const uint8_t> source, std::span<uint8_t> destination, int depth, int threshold) {
  const auto src = CheckRecord(source);
  if (!src) return status::kBadRecord;
  if (src->header.bits != 24 || (depth != 8 && depth != 4 && depth != 1)) return status::kBadParameter;
  RecordHeader h = src->header;
  h.bits = depth;
  const auto dst = StartRecord(destination, h);
  if (!dst) return status::kBadRecord;
  // gray = round(0.299 R + 0.587 G + 0.114 B) in 16.16 fixed point, the JFIF luma.
  for (int y = 0; y < h.height; ++y) {
    const uint8_t* in = src->Row(y);
    uint8_t* out = dst->Row(y);
    if (depth == 8) {
      jpeg::RgbToYScalar(in, static_cast<size_t>(h.width), out);
      continue;
    }
    for (int x = 0; x < h.width; ++x) {
      const int gray = jpeg::LumaOf(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
      if (depth == 4) {
        out[x / 2] = (x & 1) ? static_cast<uint8_t>(out[x / 2] | (gray >> 4)) : static_cast<uint8_t>(gray & 0xF0);
      } else {
        if ((x & 7) == 0) out[x / 8] = 0;
        if (gray < threshold) out[x / 8] = static_cast<uint8_t>(out[x / 8] | (0x80 >> (x & 7)));
      }
    }
  }
  return 1;
}

namespace {

// Histogram widening: the bins needed from the bottom (and from the top) before 1/32 of the pixels are
// passed. The top walk starts at level 255 as if the histogram had 256 bins; bins above 15 are empty, so
// only the 16 counters are read.
void WidenByHistogram(std::span<const uint8_t> record, int* minimum, int* maximum) {
  Histogram hist{};
  funcGetHistogram(record, 1, hist);
  uint64_t n = 0;
  for (uint32_t c : hist) n += c;
  const uint64_t target = n / 32;
  uint64_t sum = 0;
  int low = 0;
  while (sum < target && low < 16) sum += hist[low++];
  sum = 0;
  int high = 255;
  while (sum < target && high >= 0) {
    if (high < 16) sum += hist[high];
    --high;
  }
  *minimum += low * 16;
  *maximum += high * 16;
  if (*minimum + 32 > *maximum) {
    *minimum -= 16;
    *maximum += 16;
  }
}

}  // namespace

int ZARNGraySaturate(std::span<uint8_t> record, int minimum, int maximum, int apply, int useHistogram) {
  TraceAt(1, "ZARNGraySaturate iMin %d, iMax %d, iSpread %d, iHist %d", minimum, maximum, apply, useHistogram);
  const auto v = CheckRecord(record);
  if (!v || (v->header.bits != 4 && v->header.bits != 8)) return status::kBadRecord;
  if (useHistogram) WidenByHistogram(record, &minimum, &maximum);
  int lo = std::min(minimum, 128);
  int hi = std::max(maximum, 128);
  if (lo + 32 > hi) {
    lo -= 16;
    hi += 16;
  }
  lo = std::max(lo, 0);
  hi = std::min(hi, 255);
  TraceAt(1, "ZARNGraySaturate2 iMin %d, iMax %d", lo, hi);

  // The level rule on 0..255; 4-bit nibbles go through it as level * 16 and keep the high nibble.
  auto map = [&](int v8) {
    if (apply) {
      if (v8 <= lo) return 0;
      if (v8 < hi) return ((v8 - lo) * 256) / (hi - lo);
      return 255;
    }
    if (lo >= 1 && v8 <= lo) return 0;
    if (hi < 255 && v8 >= hi) return 255;
    return v8;
  };
  std::array<uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = v->header.bits == 8
                   ? static_cast<uint8_t>(map(b))
                   : static_cast<uint8_t>(((map((b >> 4) * 16) >> 4) << 4) | (map((b & 0x0F) * 16) >> 4));
  }
  uint8_t* p = v->pixels;
  for (size_t i = 0, n = v->PixelBytes(); i < n; ++i) p[i] = table[p[i]];
  return 1;
}

}  // namespace zc::imaging
