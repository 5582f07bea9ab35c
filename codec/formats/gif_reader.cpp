// GIF header, image search and LZW decoding.
#include "codec/formats/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/band_frame.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/lzw_decoder.h"
#include "codec/formats/source_reader.h"

namespace zc::codec {
namespace {

constexpr size_t kScreenSize = 13;

// Joins the data sub-blocks into one byte stream; a zero-length block ends it.
class GifBlockSource : public fmt::LzwByteSource {
 public:
  explicit GifBlockSource(fmt::SourceReader& source) : source_(source) {}
  int next() override {
    while (left_ == 0) {
      if (ended_) return -1;
      const int n = source_.next();
      if (n <= 0) {
        ended_ = true;
        return -1;
      }
      left_ = n;
    }
    --left_;
    const int b = source_.next();
    if (b < 0) ended_ = true;
    return b;
  }

 private:
  fmt::SourceReader& source_;
  int left_ = 0;
  bool ended_ = false;
};

// Skips an extension's sub-blocks up to the zero-length block.
bool skipSubBlocks(fmt::SourceReader& source) {
  while (true) {
    const int n = source.next();
    if (n < 0) return false;
    if (n == 0) return true;
    if (!source.skip(static_cast<size_t>(n))) return false;
  }
}

int lzwFailure(fmt::LzwStatus status) {
  return imgFail(status == fmt::LzwStatus::kBadCode ? kImgErrGifCode : kImgErrUnexpectedEnd);
}

}  // namespace

int funcGifReadHeader(ImgDecompDesc* desc) {
  const uint8_t* b = desc->readBuffer;
  if (desc->readFill < kScreenSize) return imgFail(kImgErrRead);
  // Only the format's three letters fit the tag; the version stays in the header copy.
  std::memcpy(desc->tag, "GIF", 4);
  const uint8_t flags = b[10];
  const bool global = (flags & 0x80) != 0;
  int bits = (flags & 7) + 1;
  desc->bitsPerPixel = static_cast<uint16_t>(bits);
  desc->colors = static_cast<int16_t>(1 << bits);
  desc->paletteFilled = 0;
  if (desc->headerCopy != nullptr) std::memcpy(desc->headerCopy, b, kScreenSize);
  const size_t headerLength = kScreenSize + (global ? 3u << bits : 0u);
  if (desc->readFill < headerLength) return imgFail(kImgErrRead);
  if (global && desc->palette != nullptr) {
    std::memcpy(desc->palette, b + kScreenSize, 3u << bits);
    desc->paletteFilled = 1;
  }

  fmt::SourceReader source(desc);
  if (!source.seek(static_cast<int64_t>(desc->startOffset) + static_cast<int64_t>(headerLength))) {
    return imgFail(kImgErrGifNoImage);
  }
  while (true) {
    const int c = source.next();
    if (c == ',') break;
    if (c == '!') {
      if (source.next() < 0 || !skipSubBlocks(source)) return imgFail(kImgErrGifNoImage);
      continue;
    }
    return imgFail(kImgErrGifNoImage);  // ";", an unknown block or the end of the data
  }
  uint8_t image[9];
  if (source.read(image, sizeof(image)) != sizeof(image)) return imgFail(kImgErrRead);
  desc->width = fmt::getLe16(image + 4);
  desc->height = fmt::getLe16(image + 6);
  const uint8_t imageFlags = image[8];
  desc->progressive = (imageFlags & 0x40) != 0 ? 1 : 0;
  if ((imageFlags & 7) != 0) {
    bits = (imageFlags & 7) + 1;
    desc->bitsPerPixel = static_cast<uint16_t>(bits);
    desc->colors = static_cast<int16_t>(1 << bits);
  }
  if ((imageFlags & 0x80) != 0) {
    const size_t localSize = 3u << ((imageFlags & 7) + 1);
    if (desc->palette != nullptr) {
      if (source.read(desc->palette, localSize) != localSize) return imgFail(kImgErrRead);
      desc->paletteFilled = 1;
    } else if (!source.skip(localSize)) {
      return imgFail(kImgErrRead);
    }
  }
  if (funcDecompSeek(desc, source.tell(), 0) < 0) return imgFail(kImgErrRead);
  return 1;
}

int funcGifDecode(ImgDecompDesc* desc) {
  const int64_t dataStart = desc->position;
  if (fmt::prepareWindow(desc) < 0) return -1;
  fmt::SourceReader source(desc);
  if (!source.seek(dataStart)) return imgFail(kImgErrSeek);
  const int rootBits = source.next();
  if (rootBits < 0) return imgFail(kImgErrUnexpectedEnd);
  if (rootBits < 1 || rootBits > 8) return imgFail(kImgErrGifCode);
  std::unique_ptr<fmt::LzwDecoder> lzw(new (std::nothrow) fmt::LzwDecoder(rootBits, fmt::kGifLzwRule));
  if (!lzw) return imgFail(kImgErrNoMemory);
  GifBlockSource blocks(source);

  const int width = desc->width;
  const int bottom = desc->windowTop + desc->windowHeight;
  size_t produced = 0;
  if (desc->progressive == 0) {
    fmt::BandDelivery band(desc, 1, 8);
    for (int row0 = 0; row0 < bottom; row0 += 8) {
      const int n = std::min(8, bottom - row0);
      const size_t want = static_cast<size_t>(n) * width;
      const fmt::LzwStatus status = lzw->read(blocks, band.row(0), want, &produced);
      if (produced < want) return lzwFailure(status);
      if (band.deliver(row0, n) < 0) return -1;
    }
    return 0;
  }
  // Interlaced: passes start at rows 0, 4, 2, 1 with steps 8, 8, 4, 2.
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  fmt::BandDelivery band(desc, 1, 1);
  int left = desc->windowHeight;
  for (int pass = 0; pass < 4 && left > 0; ++pass) {
    for (int y = kStart[pass]; y < desc->height && left > 0; y += kStep[pass]) {
      const fmt::LzwStatus status = lzw->read(blocks, band.row(0), static_cast<size_t>(width), &produced);
      if (produced < static_cast<size_t>(width)) return lzwFailure(status);
      if (y >= desc->windowTop && y < bottom) {
        if (band.deliver(y, 1) < 0) return -1;
        --left;
      }
    }
  }
  return 0;
}

}  // namespace zc::codec
