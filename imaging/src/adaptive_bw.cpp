#include "imaging/adaptive_bw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "api_services.h"
#include "bw_limits.h"
#include "imaging/bw_cleanup.h"
#include "imaging/checksum.h"
#include "imaging/histogram.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/record_helpers.h"
#include "imaging_trace.h"
#include "status_codes.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

constexpr int kCodeLineBand = 90;
constexpr int kCodeLineThreshold = 64;

struct Levels {
  int dark = 0;
  int light = 0;
  int middle = 0;
};

Levels LevelsFromHistogram(const Histogram& b) {
  uint64_t n = 0;
  for (uint32_t v : b) n += v;
  int i = 0;
  uint64_t cum = b[0];
  while (cum < n / 16 && i < 14) cum += b[++i];
  int j = 15;
  cum = b[15];
  while (cum < n / 5 && j > i) cum += b[--j];
  if (i > 0) --i;
  Levels l{16 * i, 16 * j, 0};
  l.middle = (l.dark + l.light) / 2;
  return l;
}

}  // namespace

int funcConvGrayArea(std::span<const uint8_t> source, const char* outputName, std::span<uint8_t> output,
                     unsigned options) {
  TraceAt(1, "funcConvGrayArea(%s)", outputName ? outputName : "");
  if (zarn::funcGetScannerTypeCode() < 0) return zarn::kScannerMissing;
  const auto in = CheckRecord(source);
  if (!in || (in->header.bits != 8 && in->header.bits != 24)) return status::kBadRecord;
  const int w = in->header.width;
  const int h = in->header.height;
  if (!BwSizeAllowed(w, h)) return status::kBadRecord;
  const RecordHeader outHeader{w, h, 1, in->header.dpi};
  // Without an output record the image is rendered into one of its own and coded as G4 from there.
  std::vector<uint8_t> own;
  if (output.empty()) {
    try {
      own.assign(static_cast<size_t>(RecordByteSize(outHeader)), 0);
    } catch (const std::bad_alloc&) {
      return zarn::kAllocError;
    }
    output = own;
  }
  const auto out = StartRecord(output, outHeader);
  if (!out) return status::kBadRecord;

  // The gray work record is sized from the image itself, never a fixed block.
  std::vector<uint8_t> gray;
  std::span<const uint8_t> grayRecord = source;
  try {
    if (in->header.bits == 24) {
      gray.assign(kRecordHeaderBytes + static_cast<size_t>(w) * h, 0);
      if (funcConv24ToGray(source, gray, 8, 0) < 0) return status::kBadRecord;
      grayRecord = gray;
    }
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  const auto g = CheckRecord(grayRecord);
  if (!g) return status::kBadRecord;

  Histogram hist{};
  funcGetHistogram(grayRecord, 2, hist);
  const Levels lv = LevelsFromHistogram(hist);
  TraceAt(2, "Min %d, Max %d, Ave %d", lv.dark, lv.light, lv.middle);

  const size_t stride = out->rowBytes;
  const int wholeBytes = w / 8;
  std::memset(out->pixels, 0, out->PixelBytes());
  // One accumulator for the whole image: the local mean carries over from each row into the next.
  int32_t accumulator = lv.middle * 32;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = g->Row(y);
    uint8_t* d = out->Row(y);
    const bool band = y >= h - kCodeLineBand;
    for (int x = 0; x < wholeBytes * 8; ++x) {
      const int v = s[x];
      bool black;
      if (band) {
        black = v < kCodeLineThreshold;
      } else {
        const int mean = accumulator / 32;
        const int q = v < lv.middle ? lv.dark : lv.light;
        black = q == lv.dark && v - 32 < mean;
        accumulator = accumulator - mean + v;
      }
      if (black) d[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  if (options & kBwCleanUpFilter) CleanUpBitImage(out->pixels, stride, h, w - 3);
  if (own.empty()) return 0;
  const int32_t crc = funcCrc16(out->pixels, out->PixelBytes(), 0);
  return WriteBitImageAsG4(outputName, w, h, out->pixels, stride, in->header.dpi, static_cast<uint16_t>(crc));
}

}  // namespace zc::imaging
