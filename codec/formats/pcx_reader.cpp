// PCX header reading and run-length decoding.
#include "codec/formats/pcx_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/band_frame.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/source_reader.h"

namespace zc::codec {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTrailerSize = 769;

struct PcxHeader {
  int version = 0;
  int bitsPerPlane = 0;
  int planes = 0;
  int bytesPerLine = 0;
  int width = 0;
  int height = 0;
  int bits = 0;  // bits per pixel
};

PcxHeader parseHeader(const uint8_t* b) {
  PcxHeader h;
  h.version = b[1];
  h.bitsPerPlane = b[3];
  h.planes = b[65];
  h.bytesPerLine = fmt::getLe16(b + 66);
  h.width = static_cast<int>(fmt::getLe16(b + 8)) - static_cast<int>(fmt::getLe16(b + 4)) + 1;
  h.height = static_cast<int>(fmt::getLe16(b + 10)) - static_cast<int>(fmt::getLe16(b + 6)) + 1;
  h.bits = h.bitsPerPlane != 1 ? h.bitsPerPlane * h.planes : h.planes;
  return h;
}

enum class RowKind { kOneBit, kPlanar4, kPacked4, kEight, kUnsupported };

RowKind rowKind(const PcxHeader& h) {
  if (h.bitsPerPlane == 1 && h.planes == 1) return RowKind::kOneBit;
  if (h.bitsPerPlane == 1 && h.planes == 4) return RowKind::kPlanar4;
  if (h.bitsPerPlane == 4 && h.planes == 1) return RowKind::kPacked4;
  if (h.bitsPerPlane == 8 && h.planes == 1) return RowKind::kEight;
  return RowKind::kUnsupported;
}

// Bytes a plane line needs to hold the width.
int neededBytes(RowKind kind, int width) {
  switch (kind) {
    case RowKind::kPacked4:
      return (width + 1) / 2;
    case RowKind::kEight:
      return width;
    default:
      return (width + 7) / 8;
  }
}

// Run-length decoder; a run that passes the end of a line goes on in the next one.
class PcxRunDecoder {
 public:
  explicit PcxRunDecoder(fmt::SourceReader& source) : source_(source) {}

  bool line(uint8_t* out, size_t count) {
    size_t i = 0;
    while (i < count) {
      if (runLeft_ > 0) {
        const size_t n = std::min(count - i, runLeft_);
        std::memset(out + i, runValue_, n);
        i += n;
        runLeft_ -= n;
        continue;
      }
      const int b = source_.next();
      if (b < 0) return false;
      if (b >= 0xC0) {
        const int v = source_.next();
        if (v < 0) return false;
        runLeft_ = static_cast<size_t>(b & 0x3F);
        runValue_ = static_cast<uint8_t>(v);
      } else {
        out[i++] = static_cast<uint8_t>(b);
      }
    }
    return true;
  }

 private:
  fmt::SourceReader& source_;
  size_t runLeft_ = 0;
  uint8_t runValue_ = 0;
};

}  // namespace

int funcPcxReadHeader(ImgDecompDesc* desc) {
  if (desc->readFill < kHeaderSize) return imgFail(kImgErrRead);
  const uint8_t* b = desc->readBuffer;
  const PcxHeader h = parseHeader(b);
  std::memcpy(desc->tag, "PCX", 4);
  if (h.width < 1 || h.height < 1 || h.width > 65535 || h.height > 65535)
    return imgFail(kImgErrUnsupportedFile);
  desc->width = static_cast<uint16_t>(h.width);
  desc->height = static_cast<uint16_t>(h.height);
  desc->bitsPerPixel = static_cast<uint16_t>(h.bits);
  if (desc->headerCopy != nullptr) std::memcpy(desc->headerCopy, b, kHeaderSize);

  if (desc->palette != nullptr && h.bits == 8) {
    // The 256-colour trailer: 0x0C and 768 bytes at the very end of the source.
    if (funcDecompSeek(desc, -static_cast<int64_t>(kTrailerSize), 2) < 0) return imgFail(kImgErrPalette);
    if (static_cast<int64_t>(desc->position) < static_cast<int64_t>(desc->startOffset + kHeaderSize)) {
      return imgFail(kImgErrPalette);
    }
    uint8_t trailer[kTrailerSize];
    if (funcDecompRead(desc, trailer, kTrailerSize) != static_cast<int64_t>(kTrailerSize)) {
      return imgFail(kImgErrPalette);
    }
    if (trailer[0] == 0x0C) {
      std::memcpy(desc->palette, trailer + 1, 768);
      desc->colors = 256;
      desc->paletteFilled = 1;
    }
    if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  } else if (desc->palette != nullptr && (h.version == 2 || h.version == 5) && h.bits >= 1 && h.bits <= 4) {
    // The header holds 16 entries: enough for up to 4 bits.
    std::memcpy(desc->palette, b + 16, 3u << h.bits);
    desc->colors = static_cast<int16_t>(1 << h.bits);
    desc->paletteFilled = 1;
  }
  return 1;
}

int funcPcxDecode(ImgDecompDesc* desc) {
  fmt::SourceReader source(desc);
  uint8_t head[kHeaderSize];
  if (!source.seek(desc->startOffset)) return imgFail(kImgErrSeek);
  if (source.read(head, kHeaderSize) != kHeaderSize) return imgFail(kImgErrRead);
  const PcxHeader h = parseHeader(head);
  if (h.width != desc->width || h.height != desc->height) return imgFail(kImgErrDimensions);
  if (fmt::prepareWindow(desc) < 0) return -1;
  const RowKind kind = rowKind(h);
  if (kind == RowKind::kUnsupported || h.bytesPerLine < neededBytes(kind, h.width)) {
    return imgFail(kImgErrUnsupportedFile);
  }

  const int width = h.width;
  const size_t bpl = static_cast<size_t>(h.bytesPerLine);
  const int planes = kind == RowKind::kPlanar4 ? 4 : 1;
  std::vector<uint8_t> lines(bpl * planes);
  fmt::BandDelivery band(desc, 1, 8);
  PcxRunDecoder runs(source);
  const int bottom = desc->windowTop + desc->windowHeight;
  for (int row0 = 0; row0 < bottom; row0 += 8) {
    const int n = std::min(8, bottom - row0);
    for (int i = 0; i < n; ++i) {
      for (int p = 0; p < planes; ++p) {
        if (!runs.line(lines.data() + p * bpl, bpl)) return imgFail(kImgErrRead);
      }
      uint8_t* out = band.row(i);
      const uint8_t* l = lines.data();
      switch (kind) {
        case RowKind::kOneBit:
          for (int x = 0; x < width; ++x) out[x] = (l[x >> 3] >> (7 - (x & 7))) & 1;
          break;
        case RowKind::kPlanar4:
          for (int x = 0; x < width; ++x) {
            int v = 0;
            for (int p = 0; p < 4; ++p) v |= ((l[p * bpl + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
            out[x] = static_cast<uint8_t>(v);
          }
          break;
        case RowKind::kPacked4:
          for (int x = 0; x < width; ++x) out[x] = (x & 1) ? (l[x >> 1] & 15) : (l[x >> 1] >> 4);
          break;
        default:
          std::memcpy(out, l, static_cast<size_t>(width));
      }
    }
    if (band.deliver(row0, n) < 0) return -1;
  }
  return 0;
}

}  // namespace zc::codec
