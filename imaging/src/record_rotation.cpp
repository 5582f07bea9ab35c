// Quarter turns of 8- and 1-bit records and the top-margin search. The 1-bit turn feeds the block
// rotation strips of 128 rows, padded to whole 8 x 8 blocks, and places each turned strip's byte columns.
#include "imaging/record_rotation.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/image_record.h"
#include "imaging/rotate_bw.h"
#include "status_codes.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr int kStripRows = 128;

// Checks the source's depth, starts the destination with width and height exchanged and hands both to
// `turn`; -552 when either does not fit.
template <class Turn>
int TurnRecord(std::span<const uint8_t> record, std::span<uint8_t> destination, int bits, Turn turn) {
  const auto in = CheckRecord(record);
  if (!in || in->header.bits != bits) return status::kBadRecord;
  const RecordHeader& h = in->header;
  const auto out = StartRecord(destination, {h.height, h.width, bits, h.dpi});
  if (!out) return status::kBadRecord;
  return turn(*in, *out);
}

}  // namespace

int funcRotateImage8Left(std::span<const uint8_t> record, std::span<uint8_t> destination) {
  return TurnRecord(record, destination, 8, [](const ConstRecordView& in, const RecordView& out) {
    for (int y = 0; y < in.header.height; ++y) {
      const uint8_t* s = in.Row(y);
      for (int x = 0; x < in.header.width; ++x) out.Row(in.header.width - 1 - x)[y] = s[x];
    }
    return 1;
  });
}

int funcRotateImage1(std::span<const uint8_t> record, std::span<uint8_t> destination) {
  return TurnRecord(record, destination, 1, [](const ConstRecordView& in, const RecordView& out) {
    const int width = in.header.width, height = in.header.height;
    // The source is read as rowBytes x 8 pixels wide; the turned strip's row (paddedWidth - 1 - x) is
    // destination row (width - 1 - x).
    const unsigned rowBytes = static_cast<unsigned>(in.rowBytes);
    const unsigned paddedWidth = rowBytes * 8;
    std::vector<uint8_t> strip, turned;
    try {
      strip.resize(static_cast<size_t>(rowBytes) * kStripRows);
      turned.resize(static_cast<size_t>(paddedWidth) * (kStripRows / 8));
    } catch (const std::bad_alloc&) {
      return zarn::kAllocError;
    }
    if (out.PixelBytes() > 0) std::memset(out.Row(0), 0, out.PixelBytes());
    for (int y0 = 0; y0 < height; y0 += kStripRows) {
      const int rows = std::min(kStripRows, height - y0);
      const unsigned blockRows = static_cast<unsigned>((rows + 7) / 8 * 8);
      std::fill(strip.begin(), strip.end(), 0);
      std::memcpy(strip.data(), in.Row(y0), static_cast<size_t>(rowBytes) * rows);
      funcRotateBW90Left(strip.data(), turned.data(), paddedWidth, blockRows);
      // The turned strip's rows are blockRows / 8 bytes; rows past the strip's end turned into white bits.
      const size_t turnedRowBytes = blockRows / 8;
      const size_t bytes = std::min(turnedRowBytes, out.rowBytes - static_cast<size_t>(y0) / 8);
      for (int r = 0; r < width; ++r)
        std::memcpy(out.Row(r) + y0 / 8, turned.data() + (paddedWidth - width + r) * turnedRowBytes, bytes);
    }
    return 1;
  });
}

int funcFindTopMargin(const uint8_t* pixels, int /*unused1*/, int height, int width, int /*unused2*/,
                      int start, int threshold) {
  if (pixels == nullptr || width < 12 || height < 1) return -1;
  const size_t stride = static_cast<size_t>(width);
  for (int y = std::max(start, 0); y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
    int bright = 0;
    for (int i = 0; i < 10 && bright < 2; ++i)
      if (row[(width / 12) * (i + 1)] > threshold) ++bright;
    if (bright >= 2) return y;
  }
  return -1;
}

}  // namespace zc::imaging
