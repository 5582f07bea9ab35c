// DIB to record conversions.
#include "imaging/dib_convert.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "api_services.h"
#include "imaging/image_record.h"
#include "imaging/packed_dib.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

std::atomic<const DibCodeLineReaders*> gReaders{nullptr};

// Mask of the real pixels in the last byte of a 1-bit row.
uint8_t LastByteMask(int width) {
  const int rest = width % 8;
  return rest == 0 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - rest));
}

}  // namespace

void SetDibCodeLineReaders(const DibCodeLineReaders* readers) {
  gReaders.store(readers);
}

const DibCodeLineReaders* DibCodeLineCheck(const char* codeLine, int dpi) {
  if (codeLine == nullptr || dpi != 200 || ApiParam(kParamOcrMicrVerify) == 0 || ApiParam(kParamMicrFont) != 1)
    return nullptr;
  return gReaders.load();
}

int funcDIBToBWImage(std::span<const uint8_t> pixels, std::span<uint8_t> record, int width, int height,
                     int bitCount, size_t stride, int dpi, int threshold) {
  if (pixels.data() == nullptr || record.data() == nullptr) return status::kBadParameter;
  if (width < 0 || height < 0) return status::kBadRecord;
  const RecordHeader h{width, height, 1, dpi};
  if (bitCount != 4 && bitCount != 8) {
    if (record.size() < kRecordHeaderBytes) return status::kBadRecord;
    WriteRecordHeader(record.data(), h);
    return static_cast<int>(kRecordHeaderBytes);
  }
  const size_t used = bitCount == 8 ? static_cast<size_t>(width) : (static_cast<size_t>(width) + 1) / 2;
  if (height > 0 && (stride < used || (static_cast<uint64_t>(height) - 1) * stride + used > pixels.size()))
    return status::kBadRecord;
  const auto out = StartRecord(record, h);
  if (!out) return status::kBadRecord;
  const uint8_t mask = LastByteMask(width);
  for (int r = 0; r < height; ++r) {
    const uint8_t* in = pixels.data() + static_cast<size_t>(height - 1 - r) * stride;
    uint8_t* o = out->Row(r);
    std::memset(o, 0, out->rowBytes);
    for (int x = 0; x < width; ++x) {
      const int level = bitCount == 8 ? in[x] : ((x & 1) ? (in[x / 2] & 0x0F) : (in[x / 2] >> 4)) * 16;
      if (level <= threshold) o[x / 8] = static_cast<uint8_t>(o[x / 8] | (0x80 >> (x & 7)));
    }
    if (out->rowBytes > 0) o[out->rowBytes - 1] &= mask;
  }
  return static_cast<int>(kRecordHeaderBytes + out->PixelBytes());
}

int funcDIBToImage(std::span<uint8_t> dib, std::span<uint8_t> record, int mode, int /*cropFlag*/,
                   int /*cropThreshold*/, int bwThreshold, int dpi, char* codeLine, size_t codeLineRoom) {
  if (record.data() == nullptr) return status::kBadParameter;
  PackedDibInfo info;
  if (const int rc = ReadPackedDib(dib, &info); rc != 0) return rc;
  const std::span<uint8_t> pixels = dib.subspan(info.pixelOffset);
  const DibCodeLineReaders* readers = DibCodeLineCheck(codeLine, dpi);

  if (mode == 1) {
    const int size = funcDIBToBWImage(pixels, record, info.width, info.height, info.bitCount, info.stride, dpi,
                                      bwThreshold);
    if (size > 0 && readers) readers->fromBWImage(record.first(static_cast<size_t>(size)), codeLine, codeLineRoom);
    return size;
  }

  const RecordHeader h{info.width, info.height, info.bitCount, dpi};
  const int64_t row = RecordRowBytes(info.width, info.bitCount);
  const size_t rowBytes = row < 0 ? 0 : static_cast<size_t>(row);
  const uint64_t size = kRecordHeaderBytes + uint64_t{rowBytes} * info.height;
  if (size > INT32_MAX) return status::kUnsupportedImage;
  if (record.size() < size) return status::kBadRecord;
  WriteRecordHeader(record.data(), h);
  if (info.bitCount == 24) {
    for (int y = 0; y < info.height; ++y) {
      uint8_t* p = pixels.data() + static_cast<size_t>(y) * info.stride;
      for (int x = 0; x < info.width; ++x) std::swap(p[3 * x], p[3 * x + 2]);
    }
  }
  uint8_t* out = record.data() + kRecordHeaderBytes;
  for (int r = 0; r < info.height && rowBytes > 0; ++r)
    std::memcpy(out + static_cast<size_t>(r) * rowBytes,
                pixels.data() + static_cast<size_t>(info.height - 1 - r) * info.stride, rowBytes);
  if (readers && rowBytes > 0) {
    const std::span<const uint8_t> made = record.first(static_cast<size_t>(size));
    if (info.bitCount == 4 || info.bitCount == 8) readers->fromGrayImage(made, codeLine, codeLineRoom);
    if (info.bitCount == 1) readers->fromBWImage(made, codeLine, codeLineRoom);
  }
  return static_cast<int>(size);
}

}  // namespace zc::imaging
