// Header checks of packed DIBs over the device library's DIB layout helpers.
#include "imaging/packed_dib.h"

#include "imaging/image_record.h"
#include "qv6/image/dib_format.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

struct RawHeader {
  uint32_t headerSize;
  bool core;
  int64_t width;
  int64_t height;
  int bitCount;
  uint32_t colorsUsed;
};

bool ReadRaw(std::span<const uint8_t> dib, RawHeader* raw) {
  if (dib.data() == nullptr || dib.size() < 4) return false;
  raw->headerSize = qv6::LoadLe32(dib.data());
  raw->core = raw->headerSize != qv6::kInfoHeaderSize;
  if (raw->core) {
    if (dib.size() < qv6::kCoreHeaderSize) return false;
    raw->width = qv6::LoadLe16(dib.data() + 4);
    raw->height = qv6::LoadLe16(dib.data() + 6);
    raw->bitCount = qv6::LoadLe16(dib.data() + 10);
    raw->colorsUsed = 0;
    return true;
  }
  if (dib.size() < qv6::kInfoHeaderSize) return false;
  const qv6::BitmapInfoHeader h = qv6::ReadInfoHeader(dib.data());
  raw->width = h.width;
  raw->height = h.height;
  raw->bitCount = h.bitCount;
  raw->colorsUsed = h.clrUsed;
  return true;
}

uint32_t ColorCount(const RawHeader& raw) {
  if (!raw.core && raw.colorsUsed != 0) return raw.colorsUsed;
  return static_cast<uint32_t>(qv6::DibDefaultColorCount(raw.bitCount));
}

}  // namespace

int ReadPackedDib(std::span<const uint8_t> dib, PackedDibInfo* info) {
  RawHeader raw{};
  if (!ReadRaw(dib, &raw)) return status::kNoPixels;
  if (raw.width < 1 || raw.height < 1 || raw.width > kMaxRecordSide || raw.height > kMaxRecordSide)
    return status::kUnsupportedImage;
  const uint32_t colors = ColorCount(raw);
  if (raw.bitCount < 1 || raw.bitCount > 32) return status::kUnsupportedImage;
  if (raw.bitCount < 32 && colors > (uint32_t{1} << raw.bitCount)) return status::kUnsupportedImage;
  const uint64_t palette = uint64_t{colors} * (raw.core ? 3 : 4);
  const uint64_t stride = static_cast<uint64_t>(qv6::DibBytesPerLine(raw.width, raw.bitCount));
  const uint64_t offset = uint64_t{raw.headerSize} + palette;
  const uint64_t pixels = stride * static_cast<uint64_t>(raw.height);
  if (offset > dib.size() || pixels > dib.size() - offset) return status::kNoPixels;
  info->headerSize = raw.headerSize;
  info->coreHeader = raw.core;
  info->width = static_cast<int>(raw.width);
  info->height = static_cast<int>(raw.height);
  info->bitCount = raw.bitCount;
  info->colors = static_cast<int>(colors);
  info->paletteBytes = static_cast<size_t>(palette);
  info->stride = static_cast<size_t>(stride);
  info->pixelOffset = static_cast<size_t>(offset);
  return 0;
}

const uint8_t* funcDIBPixelAddress(std::span<const uint8_t> dib) {
  PackedDibInfo info;
  return ReadPackedDib(dib, &info) == 0 ? dib.data() + info.pixelOffset : nullptr;
}

uint8_t* funcDIBPixelAddress(std::span<uint8_t> dib) {
  PackedDibInfo info;
  return ReadPackedDib(dib, &info) == 0 ? dib.data() + info.pixelOffset : nullptr;
}

int funcDIBColorCount(std::span<const uint8_t> dib) {
  RawHeader raw{};
  if (!ReadRaw(dib, &raw)) return 0;
  const uint32_t colors = ColorCount(raw);
  return colors > INT32_MAX ? INT32_MAX : static_cast<int>(colors);
}

int funcDIBPaletteBytes(std::span<const uint8_t> dib) {
  RawHeader raw{};
  if (!ReadRaw(dib, &raw)) return 0;
  const uint64_t bytes = uint64_t{ColorCount(raw)} * (raw.core ? 3 : 4);
  return bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes);
}

}  // namespace zc::imaging
