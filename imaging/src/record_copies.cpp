// Window copies and whole-record copies.
#include <algorithm>
#include <cstring>

#include "imaging/image_record.h"
#include "imaging/record_helpers.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

struct Span1D {
  int start;
  int end;
};

// A side of the window: a negative start counts as 0, the end is limited to the side, and an empty or
// reversed range means the whole side.
Span1D Limit(int start, int end, int side, bool emptyWhenEqual) {
  start = std::max(start, 0);
  end = std::min(end, side);
  if (emptyWhenEqual ? end <= start : end < start) return {0, side};
  return {std::min(start, side), end};
}

int CopyWindow(bool fourBitForm, std::span<const uint8_t> source, std::span<uint8_t> destination, int left,
               int right, int top, int bottom) {
  const auto src = CheckRecord(source);
  if (!src) return status::kBadRecord;
  const int bits = src->header.bits;
  const int small = fourBitForm ? 4 : 1;
  if (bits != 8 && bits != small) return status::kBadRecord;
  const Span1D rows = Limit(top, bottom, src->header.height, true);
  const Span1D cols = Limit(left, right, src->header.width, false);
  const int width = cols.end - cols.start;
  RecordHeader h = src->header;
  h.height = rows.end - rows.start;
  size_t offset = cols.start;
  size_t bytes = width;
  if (bits == 1) {
    offset = cols.start / 8;
    bytes = (width + 7) / 8;
    h.width = static_cast<int>(bytes * 8);
  } else if (bits == 4) {
    offset = cols.start / 2;
    bytes = (width + 1) / 2;
    h.width = width;
  } else {
    h.width = width;
  }
  bytes = std::min(bytes, src->rowBytes - std::min(offset, src->rowBytes));
  const auto dst = StartRecord(destination, h);
  if (!dst) return status::kBadRecord;
  for (int y = 0; y < h.height; ++y) {
    std::memcpy(dst->Row(y), src->Row(rows.start + y) + offset, std::min(bytes, dst->rowBytes));
    if (bytes < dst->rowBytes) std::memset(dst->Row(y) + bytes, 0, dst->rowBytes - bytes);
  }
  return 1;
}

int CopyWhole(int bits, std::span<const uint8_t> record, std::span<uint8_t> destination) {
  const auto src = CheckRecord(record);
  if (!src || src->header.bits != bits) return status::kBadRecord;
  const size_t size = kRecordHeaderBytes + src->PixelBytes();
  if (destination.data() == nullptr || destination.size() < size) return status::kBadRecord;
  std::memmove(destination.data(), record.data(), size);
  return 1;
}

}  // namespace

int funcCopyImageWindow(std::span<const uint8_t> source, std::span<uint8_t> destination, int left, int right,
                        int top, int bottom) {
  return CopyWindow(false, source, destination, left, right, top, bottom);
}

int funcCopyImageWindow4(std::span<const uint8_t> source, std::span<uint8_t> destination, int left, int right,
                         int top, int bottom) {
  return CopyWindow(true, source, destination, left, right, top, bottom);
}

int funcCopyImage1(std::span<const uint8_t> record, std::span<uint8_t> destination) {
  return CopyWhole(1, record, destination);
}

int funcCopyImage8(std::span<const uint8_t> record, std::span<uint8_t> destination) {
  return CopyWhole(8, record, destination);
}

}  // namespace zc::imaging
