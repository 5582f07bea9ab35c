// TIFF and BMP images a scanner delivers in memory, turned into records in place. Every offset and count
// in their headers is checked against the buffer's size before it is used.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec/bilevel/bit_ops.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/record_helpers.h"
#include "imaging/tiff_read.h"
#include "imaging_trace.h"
#include "zarn/params.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

constexpr uint32_t kMaxFirstDirectory = 2048;
constexpr uint16_t kMaxEntries = 150;

uint32_t Get32Le(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void LocalLine(const char* text) {
  if (zarn::ApiTraceLevel() >= 1) zarn::funcWriteLocalApiLog(text);
}

// The first 128 bytes in lines of eight, to the local log, when a delivered image is not recognised.
enum class Delivered { kTiff, kBmp };
void DumpHead(Delivered kind, const uint8_t* buffer, size_t size, int64_t imageSize, int64_t imageOffset) {
  char line[128];
  if (kind == Delivered::kTiff) {
    std::snprintf(line, sizeof line, "TIFF: *plImageSize = %ld, *plImageOffset = %ld",
                  static_cast<long>(imageSize), static_cast<long>(imageOffset));
  } else {
    std::snprintf(line, sizeof line, "BMP: *plImageSize = %ld, *plImageOffset = %ld",
                  static_cast<long>(imageSize), static_cast<long>(imageOffset));
  }
  LocalLine(line);
  for (size_t row = 0; row < 16 && row * 8 + 8 <= size; ++row) {
    const uint8_t* b = buffer + row * 8;
    std::snprintf(line, sizeof line, "0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x 0x%2x", b[0], b[1], b[2], b[3], b[4],
                  b[5], b[6], b[7]);
    LocalLine(line);
  }
}

// Resolution table of the scan-resolution parameter: 0 100 dpi, 1 to 3 200, 4 300, 5 to 9 200.
int DpiOfResolutionParameter(int value) {
  if (value == 0) return 100;
  if (value == 4) return 300;
  return 200;
}

}  // namespace

int funcParseMemTIFFHeader(const uint8_t* p, size_t size, TiffMemInfo* info) {
  if (p == nullptr || info == nullptr || size < 8) return 1;
  *info = {};
  const uint16_t order = static_cast<uint16_t>(p[0] | p[1] << 8);
  if ((order != kTiffLittleEndian && order != kTiffBigEndian) || funcTiffGet16(p + 2, order) < 42) return 1;
  const uint32_t ifd = funcTiffGet32(p + 4, order);
  if (ifd > kMaxFirstDirectory) return 4;
  if (static_cast<uint64_t>(ifd) + 2 > size) return 1;
  const uint16_t count = funcTiffGet16(p + ifd, order);
  if (count > kMaxEntries || static_cast<uint64_t>(ifd) + 2 + 12ull * count > size) return 1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = p + ifd + 2 + 12 * i;
    const uint16_t tag = funcTiffGet16(e, order);
    const uint16_t type = funcTiffGet16(e + 2, order);
    const uint32_t n = funcTiffGet32(e + 4, order);
    const uint32_t value = funcTiffGetValue(e + 8, order, type);
    switch (tag) {
      case 256: info->width = static_cast<int32_t>(value); break;
      case 257: info->height = static_cast<int32_t>(value); break;
      case 258: info->bits = static_cast<int32_t>(value); break;
      case 262: info->photometric = static_cast<int32_t>(value); break;
      case 273:
        if (n != 1) return 2;
        info->stripOffset = static_cast<int32_t>(value);
        break;
      case 279:
        if (n != 1) return 2;
        info->stripBytes = static_cast<int32_t>(value);
        break;
      case 282:
      case 283: {
        // The rational must lie inside the first 2040 bytes and inside the buffer.
        if (value > 2040 - 8 || static_cast<uint64_t>(value) + 8 > size) return 1;
        const uint32_t num = funcTiffGet32(p + value, order), den = funcTiffGet32(p + value + 4, order);
        (tag == 282 ? info->xResolution : info->yResolution) = static_cast<int32_t>(den == 0 ? 1 : num / den);
        break;
      }
      case 322: return 3;
      default: break;
    }
  }
  return 0;
}

int funcAddMemTIFFHeader(uint8_t* buffer, size_t size, int /*flag*/, int64_t* imageSize, int64_t* imageOffset,
                         int cropMargin) {
  TiffMemInfo info;
  const int parsed = funcParseMemTIFFHeader(buffer, size, &info);
  // The strip must lie in the buffer, and the record (header and strip) must fit where the image was.
  const bool fits = parsed == 0 && info.stripOffset >= 0 && info.stripBytes >= 0 &&
                    static_cast<uint64_t>(info.stripOffset) + static_cast<uint64_t>(info.stripBytes) <= size &&
                    kRecordHeaderBytes + static_cast<uint64_t>(info.stripBytes) <= size;
  if (!fits) {
    if (buffer != nullptr)
      DumpHead(Delivered::kTiff, buffer, size, imageSize ? *imageSize : 0, imageOffset ? *imageOffset : 0);
    return zarn::kNonTiffImage;
  }
  if (imageOffset != nullptr) *imageOffset = 0;
  std::memmove(buffer + kRecordHeaderBytes, buffer + info.stripOffset, static_cast<size_t>(info.stripBytes));
  RecordHeader h{info.width, info.height, info.bits, info.xResolution};
  WriteRecordHeader(buffer, h);
  if (imageSize != nullptr) *imageSize = static_cast<int64_t>(info.stripBytes) + kRecordHeaderBytes;
  int result = info.height;
  if (info.bits == 1) {
    TraceAt(1, "Width = %d, Height = %d, BitPerPixel = %d, ImageSize = %ld", info.width, info.height, info.bits,
            static_cast<long>(info.stripBytes) + static_cast<long>(kRecordHeaderBytes));
    const std::span<uint8_t> record(buffer, kRecordHeaderBytes + static_cast<size_t>(info.stripBytes));
    if (zarn::funcTableGetParam(36) != 0) {
      result = zarn::funcTableGetParam(37) != 0 ? funcTrimTopRows(record, cropMargin, 0)
                                                : funcTrimRightColumns(record, cropMargin, 0);
    }
    codec::funcInvertBytes(buffer + kRecordHeaderBytes, static_cast<size_t>(info.stripBytes));
  }
  h = ReadRecordHeader(buffer);
  TraceAt(1, "funcAddMemTIFFHeader width = %d, height = %d, bits = %d", h.width, h.height, h.bits);
  return result;
}

int funcAddMemHeaderToBMP(uint8_t* buffer, size_t size, int /*unused*/, int64_t* imageSize, int64_t* imageOffset) {
  if (buffer == nullptr || size < 54 || buffer[0] != 'B' || buffer[1] != 'M') {
    if (buffer != nullptr)
      DumpHead(Delivered::kBmp, buffer, size, imageSize ? *imageSize : 0, imageOffset ? *imageOffset : 0);
    return zarn::kNonTiffImage;
  }
  const uint32_t dataOffset = Get32Le(buffer + 10);
  const int32_t width = static_cast<int32_t>(Get32Le(buffer + 18));
  const int32_t height = static_cast<int32_t>(Get32Le(buffer + 22));
  const int bits = buffer[28] | buffer[29] << 8;
  // Top-down (negative height) and unknown sizes are not delivered images this code knows, nor pixels said
  // to start inside the record header the rows move behind.
  if (width <= 0 || height <= 0 || width > kMaxRecordSide || height > kMaxRecordSide ||
      dataOffset < kRecordHeaderBytes) {
    return zarn::kNonTiffImage;
  }
  // Depths without a record row length (24 bits among them) give the header alone, with no rows.
  const size_t rowBytes = bits == 4 ? (width + 1) / 2 : bits == 8 ? width : bits == 1 ? (width + 7) / 8 : 0;
  const size_t stride = (rowBytes + 3) / 4 * 4;
  const size_t rows = static_cast<size_t>(height);
  if (static_cast<uint64_t>(dataOffset) + stride * rows > size || kRecordHeaderBytes + rowBytes * rows > size)
    return zarn::kNonTiffImage;
  // The rows move in place: first packed behind the record header in their bottom-up order, each to an
  // address at or below its own and clear of the rows still to move (the data offset is at least the
  // header's 8 bytes, the row length at most the stride); then turned top first by swapping pairs.
  uint8_t* pixels = buffer + kRecordHeaderBytes;
  for (size_t k = 0; k < rows && rowBytes > 0; ++k)
    std::memmove(pixels + k * rowBytes, buffer + dataOffset + k * stride, rowBytes);
  for (size_t k = 0; k < rows / 2 && rowBytes > 0; ++k)
    std::swap_ranges(pixels + k * rowBytes, pixels + (k + 1) * rowBytes, pixels + (rows - 1 - k) * rowBytes);
  WriteRecordHeader(buffer, {width, height, bits, DpiOfResolutionParameter(zarn::funcTableGetParam(6))});
  if (imageOffset != nullptr) *imageOffset = 0;
  if (imageSize != nullptr) *imageSize = static_cast<int64_t>(rows * rowBytes) + kRecordHeaderBytes;
  return 0;
}

}  // namespace zc::imaging
