// Padding rows, trims of blank rows and columns of 1-bit records, and right-margin crops.
#include <algorithm>
#include <cstring>

#include "api_services.h"
#include "imaging/image_record.h"
#include "imaging/record_helpers.h"
#include "status_codes.h"

namespace zc::imaging {

int PadImageLines(std::span<uint8_t> buffer, int padTop, int padBottom) {
  const auto v = CheckRecord(buffer);
  if (!v) return status::kBadRecord;
  RecordHeader h = v->header;
  if ((h.bits != 4 && h.bits != 8 && h.bits != 24) || h.width < 500) return status::kBadRecord;
  const int top = std::max(padTop, 0);
  const int bottom = std::max(padBottom, 0);
  const int64_t rows = static_cast<int64_t>(h.height) + top + bottom;
  RecordHeader grown = h;
  grown.height = static_cast<int>(std::min<int64_t>(rows, kMaxRecordSide + 1));
  const int64_t size = RecordByteSize(grown);
  // The room for the added rows is the caller's; a record that would not fit stays as it was.
  if (size < 0 || rows > kMaxRecordSide || static_cast<uint64_t>(size) > buffer.size()) return status::kBadRecord;
  const size_t row = v->rowBytes;
  std::memmove(v->pixels + static_cast<size_t>(top) * row, v->pixels, v->PixelBytes());
  std::memset(v->pixels, 0xFF, static_cast<size_t>(top) * row);
  std::memset(v->pixels + (static_cast<size_t>(top) + h.height) * row, 0xFF, static_cast<size_t>(bottom) * row);
  WriteRecordHeader(buffer.data(), grown);
  return static_cast<int>(size);
}

int funcPadImageLines(std::span<uint8_t> buffer) {
  return PadImageLines(buffer, ApiParam(kParamPadTop), ApiParam(kParamPadBottom));
}

namespace {

// Eight samples spaced `step` apart from step / 2 (k = 0..7); with a side below 8 the step is 0 and all
// samples fall on index 0.
int SampleAt(int side, int k) {
  const int step = side / 8;
  return step / 2 + k * step;
}

}  // namespace

int funcTrimTopRows(std::span<uint8_t> record, int minimumHeight, int startRow) {
  const auto v = CheckRecord(record);
  if (!v) return status::kBadRecord;
  if (v->header.bits != 1) return status::kBitsPerPixelInvalid;
  const int h = v->header.height;
  const int w = v->header.width;
  int top = (startRow >= 0 && startRow < h) ? startRow : 0;
  // A record without columns has nothing to sample: every row counts as blank.
  if (w == 0) top = h;
  for (; top < h; ++top) {
    int marked = 0;
    for (int k = 0; k < 8; ++k) marked += v->Row(top)[SampleAt(w, k) / 8] != 0;
    if (marked >= 2) break;
  }
  const int keep = minimumHeight == 0 ? h / 3 : std::min(std::max(minimumHeight, 0), h);
  if (h - top < keep) top = h - keep;
  const int newHeight = h - top;
  std::memmove(v->pixels, v->Row(top), static_cast<size_t>(newHeight) * v->rowBytes);
  RecordHeader out = v->header;
  out.height = newHeight;
  WriteRecordHeader(record.data(), out);
  return newHeight;
}

int funcTrimRightColumns(std::span<uint8_t> record, int minimumWidth, int startColumn) {
  const auto v = CheckRecord(record);
  if (!v) return status::kBadRecord;
  if (v->header.bits != 1) return status::kBitsPerPixelInvalid;
  const int h = v->header.height;
  const int w = v->header.width;
  if (w == 0 || h == 0) return w;
  // The walk starts inside the record: a start column of 0 would otherwise name column w.
  int column = (startColumn < w) ? std::min(w - startColumn, w - 1) : w - 1;
  for (; column > 0; column -= 8) {
    int marked = 0;
    for (int k = 0; k < 8; ++k) marked += v->Row(SampleAt(h, k))[column / 8] != 0;
    if (marked >= 2) break;
  }
  int width = std::max({column, minimumWidth, 0});
  width = (width + 7) & ~7;
  // Rounding up never makes the record wider than it was.
  width = std::min(width, w);
  const size_t newRow = static_cast<size_t>(RecordRowBytes(width, 1));
  for (int y = 0; y < h; ++y) std::memmove(v->pixels + y * newRow, v->Row(y), newRow);
  RecordHeader out = v->header;
  out.width = width;
  WriteRecordHeader(record.data(), out);
  return width;
}

namespace {

enum class MarginDepth { k1, k4, k8 };

// Right edge of the content: walking left from the start column, the first column where at least two of
// the rows h/8, 2h/8, ..., 7h/8 are bright.
int FindRightEdge(const ConstRecordView& v, MarginDepth depth, int start, int left, int threshold) {
  const int h = v.header.height;
  const int step = depth == MarginDepth::k1 ? 8 : depth == MarginDepth::k4 ? 2 : 1;
  for (int x = start; x >= left && x >= 0; x -= step) {
    int bright = 0;
    for (int k = 1; k < 8; ++k) {
      const uint8_t* row = v.Row((h / 8) * k);
      switch (depth) {
        case MarginDepth::k8:
          bright += row[x] > threshold;
          break;
        case MarginDepth::k4:
          bright += (row[x / 2] >> 4) * 16 > threshold;
          break;
        case MarginDepth::k1:
          bright += row[x / 8] != 0xFF;
          break;
      }
    }
    if (bright >= 2) return x;
  }
  return left;
}

int CropRightMargin(MarginDepth depth, std::span<const uint8_t> source, std::span<uint8_t> destination,
                    int startColumn, int left, int threshold) {
  const auto src = CheckRecord(source);
  if (!src) return status::kBadRecord;
  const int bits = depth == MarginDepth::k1 ? 1 : depth == MarginDepth::k4 ? 4 : 8;
  const int w = src->header.width;
  if (src->header.bits != bits || w == 0 || src->header.height == 0) return status::kBadRecord;
  left = std::clamp(left, 0, w - 1);
  const int start = (startColumn >= 0 && startColumn < w) ? startColumn : w - 1;
  const int right = FindRightEdge(*src, depth, start, left, threshold);
  auto round = [&](int width) {
    if (depth == MarginDepth::k4) return width & ~1;
    if (depth == MarginDepth::k1) return (width + 7) & ~7;
    return width;
  };
  int width = round(right - left);
  if (width < 50) width = round(start - left);
  if (width < 50) {
    left = 0;
    width = w;
  }
  // The window stays inside the source rows whatever the rounding did.
  width = std::clamp(width, 0, w - left);
  RecordHeader h = src->header;
  h.width = width;
  const auto dst = StartRecord(destination, h);
  if (!dst) return status::kBadRecord;
  const size_t offset = depth == MarginDepth::k8 ? left : depth == MarginDepth::k4 ? left / 2 : left / 8;
  const size_t copy = std::min(dst->rowBytes, src->rowBytes - offset);
  for (int y = 0; y < h.height; ++y) {
    std::memmove(dst->Row(y), src->Row(y) + offset, copy);
    std::memset(dst->Row(y) + copy, 0, dst->rowBytes - copy);
  }
  return depth == MarginDepth::k1 ? width : 1;
}

}  // namespace

int funcCropRightMargin8(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold) {
  return CropRightMargin(MarginDepth::k8, source, destination, startColumn, left, threshold);
}
int funcCropRightMargin4(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold) {
  return CropRightMargin(MarginDepth::k4, source, destination, startColumn, left, threshold);
}
int funcCropRightMargin1(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold) {
  return CropRightMargin(MarginDepth::k1, source, destination, startColumn, left, threshold);
}

}  // namespace zc::imaging
