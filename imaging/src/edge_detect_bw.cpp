#include "imaging/edge_detect_bw.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "api_services.h"
#include "bw_limits.h"
#include "imaging/bw_cleanup.h"
#include "imaging/checksum.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/record_helpers.h"
#include "imaging_trace.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

constexpr int kParamCropThreshold = 108;
constexpr int kMaxMargin = 100;
constexpr int kMinOutputWidth = 8;

// Process-wide, as the callers read them back through funcGetBWDensity after the conversion.
std::atomic<int32_t> gDensityBlack{0};
std::atomic<int32_t> gDensityTotal{0};

// The gray levels the machine runs on: 8-bit levels, 4-bit records scaled by 16.
struct GrayPlane {
  const uint8_t* px = nullptr;
  size_t stride = 0;
  int At(int y, int x) const { return px[static_cast<size_t>(y) * stride + x]; }
};

// First column, walking inward from one side (step 1, or 2 from column 2 for 4-bit records), at which at
// least 4 of 20 sample rows are brighter than the threshold; kMaxMargin when none is found in time.
int FindMargin(const GrayPlane& g, int w, int h, int threshold, bool fromRight, bool fourBit) {
  const int first = fourBit ? 2 : 0;
  const int step = fourBit ? 2 : 1;
  for (int c = first; c < kMaxMargin && c < w; c += step) {
    const int col = fromRight ? w - 1 - c : c;
    int bright = 0;
    for (int k = 0; k < 20 && bright < 4; ++k) {
      const int row = (h * k) / 32 + h / 8;
      if (g.At(row, col) > threshold) ++bright;
    }
    if (bright >= 4) return c;
  }
  return kMaxMargin;
}

class BitRows {
 public:
  BitRows(uint8_t* p, size_t stride) : p_(p), stride_(stride) {}
  bool At(int r, int c) const { return (p_[r * stride_ + c / 8] >> (7 - c % 8)) & 1; }
  void SetBlack(int r, int c) { p_[r * stride_ + c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8)); }
  void SetWhite(int r, int c) { p_[r * stride_ + c / 8] &= static_cast<uint8_t>(~(0x80 >> (c % 8))); }

 private:
  uint8_t* p_;
  size_t stride_;
};

// Pixel classification of one source row into one output row (bits 0..3 white, bit x + 2 for column x).
void ClassifyRow(const GrayPlane& g, const std::vector<uint8_t>& edges, size_t edgeStride, int y, int lastX,
                 int black, int white, int edgeThreshold, int quietLimit, uint8_t* out) {
  auto edgeAt = [&](int yy, int xx) { return edges[static_cast<size_t>(yy) * edgeStride + xx]; };
  bool inkRun = false;  // colour of the current run
  int run = 2;          // the two white bits already in the accumulator count as a run
  int prev = g.At(y, 2);
  for (int x = 2; x <= lastX; ++x) {
    const int v = g.At(y, x);
    auto extendOr = [&](bool ink) {
      if (inkRun == ink) {
        ++run;
      } else {
        inkRun = ink;
        run = 1;
      }
    };
    if (v <= black) {
      extendOr(true);
    } else if (v >= white || v >= prev + 64) {
      extendOr(false);
    } else {
      int s = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) s += edgeAt(y + dy, x + dx);
      if (s < edgeThreshold && (!inkRun || s < edgeThreshold / 4)) {
        if (inkRun && run >= 8 && v < prev + quietLimit) {
          inkRun = false;
          run = 1;
        } else {
          ++run;
        }
      } else {
        const int d = g.At(y - 2, x) + g.At(y + 2, x) + g.At(y, x - 2) + g.At(y, x + 2) - 4 * v;
        if (d < 0) {
          extendOr(false);
        } else {
          inkRun = true;
          run = 1;
        }
      }
    }
    if (inkRun) out[(x + 2) / 8] |= static_cast<uint8_t>(0x80 >> ((x + 2) % 8));
    prev = v;
  }
}

// Sets black every white output pixel inside the window (inclusive bounds, columns clipped to the
// classified columns 2..lastC) whose source pixel is at most `limit`; the number set. `g` starts at the
// cropped left edge, so output column c reads its column c - 2.
int64_t DarkenWindow(BitRows& bits, const GrayPlane& g, int r0, int r1, int c0, int c1, int lastC,
                     int limit) {
  c0 = std::max(c0, 2);
  c1 = std::min(c1, lastC);
  int64_t added = 0;
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c)
      if (!bits.At(r, c) && g.At(r + 2, c - 2) <= limit) {
        bits.SetBlack(r, c);
        ++added;
      }
  return added;
}

int64_t CountBlack(const uint8_t* p, size_t n) {
  int64_t black = 0;
  for (size_t i = 0; i < n; ++i) black += std::popcount(p[i]);
  return black;
}

void SetDensity(int64_t black, int64_t total) {
  gDensityBlack = static_cast<int32_t>(black);
  gDensityTotal = static_cast<int32_t>(total);
}

}  // namespace

EdgeThresholds EdgeThresholdsFromHistogram(const Histogram& b, unsigned options, bool fourBit) {
  uint64_t n = 0;
  for (uint32_t v : b) n += v;
  int i = 0;
  uint64_t cum = b[0];
  while (cum < n / 10 && i < 14) cum += b[++i];
  if (!(options & kEdgeAltBlackBin)) {
    if (cum > n / 4)
      --i;
    else if (cum < n / 8 && b[i + 1] < n / 16)
      ++i;
  } else if (cum > n / 4) {
    i -= i >= 7 ? 2 : 1;
  }
  int j = 15;
  cum = b[15];
  while (cum < n / 2 && j > 3) cum += b[--j];
  if ((options & kEdgeBlackBelowUpperHalf) && j - 1 - i < 2) i = j - 3;
  if ((options & kEdgeLowerBlack) && i > 2) --i;
  i = std::clamp(i, 2, 6);

  const int unit = fourBit ? 1 : 16;
  EdgeThresholds t{i * unit, 14 * unit};
  j = 15;
  cum = b[15];
  while (cum < n / 10 && j > 6) cum += b[--j];
  if (j < 14) t.white = j * unit;
  const unsigned percent = options >> 24;
  if (percent > 10 && percent < 95) {
    j = 15;
    cum = b[15];
    while (cum < n * percent / 100 && j > 5) cum += b[--j];
    if (j < 14) t.white = j * unit;
  }
  return t;
}

int ConvertEdgeDetectBW(std::span<const uint8_t> source, int edgeThreshold, unsigned options, EdgeBitImage& image) {
  if (zarn::funcGetScannerTypeCode() < 0) return zarn::kScannerMissing;
  const auto in = CheckRecord(source);
  if (!in) return status::kBadRecord;
  const int bits = in->header.bits;
  const int w = in->header.width;
  const int h = in->header.height;
  if ((bits != 4 && bits != 8 && bits != 24) || !BwSizeAllowed(w, h)) return status::kBadRecord;
  // Without the histogram thresholds the machine has no black or white level; every caller sets it.
  if (!(options & kEdgeAutoThreshold)) return status::kBadRecord;
  const bool fourBit = bits == 4;

  std::vector<uint8_t> work;  // the gray record (24 bits) or the scaled 4-bit levels
  std::vector<uint8_t> edges;
  try {
    std::span<const uint8_t> grayRecord = source;
    if (bits == 24) {
      // Sized from the image itself: a fixed block is too small for the largest records allowed.
      work.assign(kRecordHeaderBytes + static_cast<size_t>(w) * h, 0);
      if (funcConv24ToGray(source, work, 8, 0) < 0) return status::kBadRecord;
      grayRecord = work;
    }
    Histogram hist{};
    funcGetHistogram(grayRecord, 2, hist);
    const EdgeThresholds th = EdgeThresholdsFromHistogram(hist, options, fourBit);

    GrayPlane g;
    if (fourBit) {
      work.assign(static_cast<size_t>(w) * h, 0);
      for (int y = 0; y < h; ++y) {
        const uint8_t* s = in->Row(y);
        uint8_t* d = work.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(((x & 1) ? s[x / 2] & 0x0F : s[x / 2] >> 4) << 4);
      }
      g = {work.data(), static_cast<size_t>(w)};
    } else {
      g = {grayRecord.data() + kRecordHeaderBytes, static_cast<size_t>(w)};
    }

    int left = 0, right = 0;
    if (options & kEdgeCropBorders) {
      int t = ApiParam(kParamCropThreshold);
      // 4-bit levels sit scaled by 16: a level above t >> 4 is a scaled value above this.
      if (fourBit) t = ((t >> 4) << 4) + 15;
      left = FindMargin(g, w, h, t, false, fourBit);
      right = FindMargin(g, w, h, t, true, fourBit);
    }
    if (w - left - right < kMinOutputWidth) return status::kBadRecord;

    TraceAt(1, "iAutoThreshold => %d, iWhiteThreshold %d", th.black, th.white);
    const int black = fourBit ? th.black * 16 : th.black;
    const int white = fourBit ? th.white * 16 : th.white;
    const int quietLimit = fourBit ? 48 : 32;

    // Edge map, columns relative to the cropped start.
    GrayPlane gc{g.px + left, g.stride};
    edges.assign(static_cast<size_t>(w) * h, 0);
    for (int y = 1; y <= h - 2; ++y) {
      uint8_t* e = edges.data() + static_cast<size_t>(y) * w;
      for (int x = 1; x <= w - 2 - left; ++x) {
        const int d = std::abs(gc.At(y, x - 1) - gc.At(y, x + 1)) + std::abs(gc.At(y - 1, x) - gc.At(y + 1, x));
        e[x] = static_cast<uint8_t>(std::min(255, d));
      }
    }

    const int rows = h - 4;
    const size_t stride = (static_cast<size_t>(w) + 7) / 8;
    image.width = w - left - right;
    image.rows = rows;
    image.left = left;
    image.dpi = in->header.dpi;
    image.stride = stride;
    image.bits.assign(stride * rows, 0);
    const int lastX = w - 3 - left;
    for (int y = 2; y <= h - 3; ++y)
      ClassifyRow(gc, edges, static_cast<size_t>(w), y, lastX, black, white, edgeThreshold, quietLimit,
                  image.bits.data() + (y - 2) * stride);

    BitRows out(image.bits.data(), stride);
    if (options & kEdgeIsolatedPixels) {
      for (int r = 1; r <= rows - 2; ++r)
        for (int c = 1; c <= w - 2 - left; ++c)
          if (out.At(r, c) && !out.At(r - 1, c) && !out.At(r, c - 1) && !out.At(r, c + 1)) out.SetWhite(r, c);
    }

    if ((options & kEdgeDensityCorrection) && bits == 8) {
      int64_t inked = CountBlack(image.bits.data(), image.bits.size());
      const int64_t total = static_cast<int64_t>(rows) * static_cast<int64_t>(stride) * 8;
      SetDensity(inked, total);
      // The strips are clipped to the classified columns, so narrow records never reach outside a row.
      const int lastC = w - left - 3;
      int t = black;
      for (int pass = 0; pass < 8 && inked * 32 < total && t < 200; ++pass) {
        TraceAt(2, "Density Low!! %8d, Total %8d, Percent %2d, BlackThreshold %d", static_cast<int>(total),
                static_cast<int>(inked), static_cast<int>(inked * 100 / total), t);
        const int raised = t + 16;
        inked += DarkenWindow(out, gc, 0, rows - 3, 2, 49, lastC, raised);
        inked += DarkenWindow(out, gc, 0, rows - 3, w - left - 50, w - left - 3, lastC, raised);
        inked += DarkenWindow(out, gc, 0, 49, 50, w - left - 51, lastC, raised);
        if (pass > 2 && inked * 32 < total)
          inked += DarkenWindow(out, gc, 50, rows - 3, 50, w - left - 51, lastC, t - 32);
        t += 16;
      }
      SetDensity(inked, total);
    }

    if (options & kEdgeCleanUpFilter) CleanUpBitImage(image.bits.data(), stride, rows, w - 3 - left);

    if (options & kEdgeMeasureDensity) {
      int64_t inked = 0, total = 0;
      const int lastByte = static_cast<int>(stride) - 7;
      for (int r = 48; r <= rows - 33; ++r) {
        for (int b = 6; b <= lastByte; ++b) inked += std::popcount(image.Row(r)[b]);
        if (lastByte >= 6) total += static_cast<int64_t>(lastByte - 5) * 8;
      }
      SetDensity(inked, total);
      if (total > 0)
        TraceAt(1, "Density On %8d, Total %8d, Percent %2d", static_cast<int>(total), static_cast<int>(inked),
                static_cast<int>(inked * 100 / total));
    }
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  return 0;
}

int WriteEdgeBitImageRecord(const EdgeBitImage& image, std::span<uint8_t> output) {
  const auto out = StartRecord(output, {image.width, image.rows, 1, image.dpi});
  if (!out) return status::kBadRecord;
  const size_t rowBytes = out->rowBytes;
  const int spare = static_cast<int>(rowBytes * 8) - image.width;
  const uint8_t tailMask = static_cast<uint8_t>(0xFF << spare);
  for (int r = 0; r < image.rows; ++r) {
    uint8_t* d = out->Row(r);
    std::memcpy(d, image.Row(r), rowBytes);
    d[rowBytes - 1] &= tailMask;
  }
  return 0;
}

int funcConvGrayImageEdgeDetectBW(std::span<const uint8_t> source, const char* outputName, int edgeThreshold,
                                  unsigned options, std::span<uint8_t> output) {
  TraceAt(1, "funcConvGrayImageEdgeDetectBW(%s, %d, %d [%x])", outputName ? outputName : "", edgeThreshold,
          options, options);
  EdgeBitImage image;
  const int rc = ConvertEdgeDetectBW(source, edgeThreshold, options, image);
  if (rc != 0) return rc;
  if (!output.empty()) return WriteEdgeBitImageRecord(image, output);
  // The checksum in the file is the CRC of the whole bit image the encoder takes its rows from.
  const int32_t crc = funcCrc16(image.bits.data(), image.stride * static_cast<size_t>(image.rows), 0);
  return WriteBitImageAsG4(outputName, image.width, image.rows, image.bits.data(), image.stride, image.dpi,
                           static_cast<uint16_t>(crc));
}

int funcEdgeDetectBW(std::span<const uint8_t> source, const char* outputName, int edgeThreshold, unsigned options) {
  return funcConvGrayImageEdgeDetectBW(source, outputName, edgeThreshold, options, {});
}

int funcGetBWDensity(int* black, int* total) {
  const int32_t b = gDensityBlack;
  const int32_t t = gDensityTotal;
  if (black) *black = b;
  if (total) *total = t;
  return t < 1 ? 0 : static_cast<int>(int64_t{b} * 100 / t);
}

}  // namespace zc::imaging
