#include "imaging/fixed_threshold_bw.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "api_services.h"
#include "imaging/gray_tables.h"
#include "imaging/image_record.h"
#include "imaging_trace.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

constexpr int kParamThresholdRedFilter = 171;

constexpr int kMidGrayLow = 64;
constexpr int kMidGrayHigh = 128;
constexpr int kMaxBlobWidth = 300;
constexpr int kMaxBlobCount = 512;
constexpr int kMinBlobCount = 32;
constexpr int kCompactSide = 20;
constexpr int kBottomStrip = 75;

// Inclusive bounds of the search region; empty when last < first on either axis.
struct Region {
  int x0, x1, y0, y1;
  bool Empty() const { return x1 < x0 || y1 < y0; }
  int64_t Area() const { return Empty() ? 0 : int64_t{x1 - x0 + 1} * (y1 - y0 + 1); }
};

struct Blob {
  int width = 0;
  int height = 0;
  int count = 0;
  bool Sparse() const { return int64_t{count} * 3 < int64_t{width} * height; }
};

class BlobTracer {
 public:
  BlobTracer(uint8_t* pixels, int w, const Region& region) : px_(pixels), w_(w), region_(region) {}

  bool MidGray(int x, int y) const {
    const int v = px_[static_cast<size_t>(y) * w_ + x];
    return v >= kMidGrayLow && v <= kMidGrayHigh;
  }

  // Follows the blob that starts at (x, y) downward. With `paint`, every row's run is set to black.
  // Every scan stops at the record's own columns, never running into the next row.
  Blob Trace(int x, int y, bool paint) {
    Blob b;
    int left = x, right = x, minX = x, maxX = x;
    for (int row = y; row <= region_.y1; ++row) {
      left = std::max(left - 1, 0);
      right = std::min(right + 1, region_.x1);
      int start = left;
      // A run is followed no further than the widest blob that can still be accepted: a blob that
      // reaches that width is refused whatever lies beyond, and long mid-gray areas stay cheap.
      if (MidGray(start, row)) {
        while (start > 0 && maxX - start + 1 < kMaxBlobWidth && MidGray(start - 1, row)) --start;
      } else {
        const int limit = std::min(right + 1, w_ - 1);
        ++start;
        while (start <= limit && !MidGray(start, row)) ++start;
        if (start > limit) break;
      }
      int end = start;
      const int runLeft = std::min(minX, start);
      while (end + 1 < w_ && end - runLeft + 1 < kMaxBlobWidth && MidGray(end + 1, row)) ++end;
      if (paint) std::memset(px_ + static_cast<size_t>(row) * w_ + start, 0, static_cast<size_t>(end - start + 1));
      left = start;
      right = end;
      minX = std::min(minX, start);
      maxX = std::max(maxX, end);
      b.width = maxX - minX + 1;
      b.height = row - y + 1;
      b.count += end - start + 1;
      if (b.width >= kMaxBlobWidth || b.count > kMaxBlobCount) break;
      if (b.width >= kCompactSide && b.height >= kCompactSide && !b.Sparse()) break;
    }
    return b;
  }

 private:
  uint8_t* px_;
  int w_;
  Region region_;
};

bool Accepted(const Blob& b, int y, int h) {
  if (b.count < kMinBlobCount || b.count >= kMaxBlobCount || b.width >= kMaxBlobWidth) return false;
  const bool clearOfBottom = y + b.height < h - kBottomStrip || b.width < 9 || b.Sparse();
  const bool notCompact = b.width < kCompactSide || b.height < kCompactSide || b.Sparse();
  return clearOfBottom && notCompact;
}

}  // namespace

int funcDarkenGrayBlobs(std::span<uint8_t> image) {
  const auto view = CheckRecord(image);
  if (!view || view->header.bits != 8) return 0;
  const int w = view->header.width;
  const int h = view->header.height;
  if (w < 100 && h > 100) return 0;
  const int m = ApiParam(kParamThresholdRedFilter);
  if ((m & 3) == 0) return 0;
  const Region region = (m & 1) ? Region{w / 2, w - 41, h / 2, h - 33} : Region{0, w - 1, 0, h - 1};
  if (region.Empty()) return 0;

  std::vector<uint8_t> work;
  try {
    work.assign(view->pixels, view->pixels + view->PixelBytes());
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  BlobTracer tracer(work.data(), w, region);
  int64_t total = 0;
  for (int y = region.y0; y <= region.y1; ++y) {
    for (int x = region.x0; x <= region.x1; ++x) {
      if (!tracer.MidGray(x, y)) continue;
      const Blob b = tracer.Trace(x, y, false);
      if (!Accepted(b, y, h)) continue;
      total += tracer.Trace(x, y, true).count;
    }
  }
  const int64_t limit = region.Area() / 8;
  TraceAt(1, "iSetCountTotal = %lld, 12%% Dark => %lld", static_cast<long long>(total), static_cast<long long>(limit));
  if (total <= limit) std::memcpy(view->pixels, work.data(), work.size());
  return 0;
}

int funcConvGrayToBW(std::span<uint8_t> source, int threshold, std::span<uint8_t> output) {
  if (source.size() < kRecordHeaderBytes || output.size() < kRecordHeaderBytes) return status::kBadRecord;
  funcDarkenGrayBlobs(source);
  const RecordHeader in = ReadRecordHeader(source.data());
  const RecordHeader outHeader{in.width, in.height, 1, in.dpi};
  WriteRecordHeader(output.data(), outHeader);
  if (in.bits != 4 && in.bits != 8 && in.bits != 24) return status::kBadRecord;
  const auto src = CheckRecord(std::span<const uint8_t>(source));
  const auto out = StartRecord(output, outHeader);
  if (!src || !out) return status::kBadRecord;

  const ByteGrayTables& t = GetByteGrayTables();
  const int w = in.width;
  for (int y = 0; y < in.height; ++y) {
    const uint8_t* s = src->Row(y);
    uint8_t* d = out->Row(y);
    std::memset(d, 0, out->rowBytes);
    for (int x = 0; x < w; ++x) {
      int v = 0;  // 24-bit pixels are red, green, blue
      switch (in.bits) {
        case 8: v = s[x]; break;
        case 4: v = (x & 1) ? (s[x / 2] & 0x0F) * 16 : s[x / 2]; break;
        default: v = t.Gray(s[3 * x], s[3 * x + 1], s[3 * x + 2]); break;
      }
      if (v <= threshold) d[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return 0;
}

}  // namespace zc::imaging
