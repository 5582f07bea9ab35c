// TIFF directory parsing, field by field in the file's byte order.
#include "codec/formats/tiff_ifd.h"

#include <cstring>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/byte_order.h"

namespace zc::codec::fmt {
namespace {

constexpr uint32_t kMaxStrips = 1u << 20;
constexpr uint32_t kMaxSamples = 16;

bool readAt(ImgDecompDesc* desc, int64_t offset, uint8_t* out, size_t count) {
  if (funcDecompSeek(desc, offset, 0) < 0) return imgFail(kImgErrSeek) == 0;
  if (funcDecompRead(desc, out, count) != static_cast<int64_t>(count)) return imgFail(kImgErrRead) == 0;
  return true;
}

// One value that stands in the entry's value field; types that cannot (8-byte ones) give 69.
bool entryValue(const uint8_t* field, int type, uint16_t order, uint32_t* value) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      *value = field[0];
      return true;
    case 3:
    case 8:
      *value = tiffGet16(field, order);
      return true;
    case 4:
    case 9:
      *value = tiffGet32(field, order);
      return true;
    case 5:
    case 10:
    case 11:
    case 12:
      imgFail(69);
      return false;
    default:
      imgFail(66);
      return false;
  }
}

// Reads `count` items of a SHORT or LONG array (or BYTE), inline when they fit the entry.
bool readArray(ImgDecompDesc* desc, const uint8_t* field, uint32_t count, int type, uint16_t order,
               std::vector<uint32_t>* out) {
  const int size = tiffTypeSize(type);
  if (size < 0) return false;
  if (count > kMaxStrips) return imgFail(kImgErrRead) == 0;
  const size_t bytes = static_cast<size_t>(count) * size;
  std::vector<uint8_t> raw(bytes);
  if (bytes > 0 && bytes <= 4) {
    std::memcpy(raw.data(), field, bytes);
  } else if (bytes > 4 && !readAt(desc, tiffGet32(field, order), raw.data(), bytes)) {
    return false;
  }
  out->resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = raw.data() + static_cast<size_t>(i) * size;
    (*out)[i] = size == 1 ? p[0] : size == 2 ? tiffGet16(p, order) : tiffGet32(p, order);
  }
  return true;
}

}  // namespace

uint16_t tiffByteOrder(const uint8_t* p) {
  const uint16_t v = getBe16(p);
  if (v == kTiffIntel || v == kTiffMotorola) return v;
  imgFail(65);
  return 0;
}

uint16_t tiffGet16(const uint8_t* p, uint16_t order) {
  if (order == kTiffIntel) return getLe16(p);
  if (order == kTiffMotorola) return getBe16(p);
  imgFail(65);
  return 0;
}

uint32_t tiffGet32(const uint8_t* p, uint16_t order) {
  if (order == kTiffIntel) return getLe32(p);
  if (order == kTiffMotorola) return getBe32(p);
  imgFail(65);
  return 0;
}

int tiffTypeSize(int type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
    case 11:
      return 4;
    case 5:
    case 10:
    case 12:
      return 8;
    default:
      return imgFail(66);
  }
}

int readTiffIfd(ImgDecompDesc* desc, int page, bool headerOnly, TiffIfd* ifd) {
  *ifd = TiffIfd{};
  uint8_t head[8];
  if (!readAt(desc, 0, head, sizeof(head))) return -1;
  const uint16_t order = tiffByteOrder(head);
  if (order == 0) return -1;
  ifd->order = order;
  if (tiffGet16(head + 2, order) != 42) return imgFail(67);
  uint32_t offset = tiffGet32(head + 4, order);

  std::vector<uint8_t> dir;
  uint16_t entries = 0;
  for (int p = 0;; ++p) {
    if (offset == 0) return imgFail(68);
    uint8_t countBytes[2];
    if (!readAt(desc, offset, countBytes, 2)) return -1;
    entries = tiffGet16(countBytes, order);
    dir.resize(static_cast<size_t>(entries) * 12 + 4);
    if (funcDecompRead(desc, dir.data(), dir.size()) != static_cast<int64_t>(dir.size())) {
      return imgFail(kImgErrRead);
    }
    if (p == page) break;
    offset = tiffGet32(dir.data() + static_cast<size_t>(entries) * 12, order);
  }

  bool haveRows = false;
  for (uint16_t i = 0; i < entries; ++i) {
    const uint8_t* e = dir.data() + static_cast<size_t>(i) * 12;
    const uint16_t tag = tiffGet16(e, order);
    const int type = tiffGet16(e + 2, order);
    const uint32_t count = tiffGet32(e + 4, order);
    const uint8_t* field = e + 8;
    uint32_t value = 0;
    switch (tag) {
      case 256:
      case 257:
      case 259:
      case 262:
      case 278:
      case 284:
      case 296:
      case 317:
      case 513:
        if (!entryValue(field, type, order, &value)) return -1;
        if (tag == 256) ifd->width = value;
        if (tag == 257) ifd->height = value;
        if (tag == 259) ifd->compression = value;
        if (tag == 262) {
          ifd->photometric = value;
          ifd->photometricGiven = true;
        }
        if (tag == 278) {
          ifd->rowsPerStrip = value;
          haveRows = true;
        }
        if (tag == 284) ifd->planar = value;
        if (tag == 296) ifd->resolutionUnit = value;
        if (tag == 317) ifd->predictor = value;
        if (tag == 513) {
          ifd->jpegInterchange = value;
          ifd->hasJpegInterchange = true;
        }
        break;
      case 258: {
        if (count == 0 || count > kMaxSamples) return imgFail(71);
        std::vector<uint32_t> samples;
        if (type != 3 && type != 1 && type != 4) return imgFail(66);
        if (!readArray(desc, field, count, type, order, &samples)) return -1;
        ifd->bits = 0;
        for (uint32_t s : samples) ifd->bits += s;
        break;
      }
      case 282:
      case 283: {
        uint8_t rational[8];
        if (!readAt(desc, tiffGet32(field, order), rational, 8)) return -1;
        uint32_t* r = tag == 282 ? ifd->xResolution : ifd->yResolution;
        r[0] = tiffGet32(rational, order);
        r[1] = tiffGet32(rational + 4, order);
        break;
      }
      case 273:
      case 279:
        if (headerOnly) break;
        if (tag == 273) {
          ifd->offsetType = type;
          if (!readArray(desc, field, count, type, order, &ifd->stripOffsets)) return -1;
        } else {
          ifd->countType = type;
          if (!readArray(desc, field, count, type, order, &ifd->stripCounts)) return -1;
        }
        break;
      default:
        break;  // fields this reader does not use, of any type
    }
  }
  if (!haveRows) ifd->rowsPerStrip = ifd->height;

  // Old-style JPEG: the interchange format offset may point at the stream when the strip does not.
  if (!headerOnly && ifd->hasJpegInterchange && !ifd->stripOffsets.empty() &&
      ifd->jpegInterchange != ifd->stripOffsets[0]) {
    uint8_t soi[2];
    if (!readAt(desc, ifd->stripOffsets[0], soi, 2)) return imgFail(kImgErrRead);
    if (!(soi[0] == 0xFF && soi[1] == 0xD8)) {
      if (!readAt(desc, ifd->jpegInterchange, soi, 2)) return imgFail(kImgErrRead);
      if (soi[0] == 0xFF && soi[1] == 0xD8) ifd->stripOffsets[0] = ifd->jpegInterchange;
    }
  }
  return 0;
}

}  // namespace zc::codec::fmt
