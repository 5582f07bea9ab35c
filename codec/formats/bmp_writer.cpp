// BMP writer: header, palette and bottom-up rows.
#include "codec/formats/bmp_writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/writer_common.h"

namespace zc::codec {
namespace {

struct BmpWriter {
  int bits = 8;
  size_t rowLength = 0;
  std::vector<uint8_t> band;
};

BmpWriter* writerOf(ImgCompDesc* desc) {
  return static_cast<BmpWriter*>(desc->writerState);
}

void packRow(const uint8_t* in, int width, int bits, uint8_t* out, size_t rowLength) {
  std::memset(out, 0, rowLength);
  switch (bits) {
    case 1:
      for (int x = 0; x < width; ++x) {
        if (in[x] & 1) out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | (0x80 >> (x & 7)));
      }
      break;
    case 4:
      for (int x = 0; x < width; ++x) {
        out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | ((in[x] & 15) << ((x & 1) ? 0 : 4)));
      }
      break;
    case 8:
      std::memcpy(out, in, static_cast<size_t>(width));
      break;
    default:  // 24: R, G, B become B, G, R
      for (int x = 0; x < width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
      }
  }
}

int bmpBand(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  ImgCompDesc* desc = ImgCurrentCompDesc;
  if (!fmt::bandFitsImage(desc, firstCol, firstRow, endCol, endRow, rows) || desc->writerState == nullptr) {
    iImgError = kImgErrDimensions;
    return kImgErrDimensions;
  }
  BmpWriter* w = writerOf(desc);
  const int count = endRow - firstRow;
  if (count == 0) return 0;
  const size_t inStride = static_cast<size_t>(desc->width) * (w->bits == 24 ? 3 : 1);
  w->band.resize(static_cast<size_t>(count) * w->rowLength);
  // The band's last row comes first in the file.
  for (int i = 0; i < count; ++i) {
    packRow(rows + static_cast<size_t>(count - 1 - i) * inStride, desc->width, w->bits,
            w->band.data() + static_cast<size_t>(i) * w->rowLength, w->rowLength);
  }
  const int64_t at = static_cast<int64_t>(desc->startOffset) + desc->dataOffset +
                     static_cast<int64_t>(desc->height - endRow) * static_cast<int64_t>(w->rowLength);
  if (funcCompSeek(desc, at, 0) < 0) {
    iImgError = kImgErrSeek;
    return kImgErrSeek;
  }
  return fmt::writeAll(desc, w->band.data(), w->band.size());
}

}  // namespace

int funcBmpCompStart(ImgCompDesc* desc) {
  if (desc->handle == 0) return imgFail(kImgErrFileHandle);
  if (desc->palette == nullptr || desc->colorModel == 0) return imgFail(38);
  const int bits = desc->bitsPerPixel;
  const bool supported = bits == 1 || bits == 4 || bits == 8 || bits == 24;
  const uint32_t entries = bits == 1 || bits == 4 || bits == 8 ? 1u << bits : 0u;
  const uint64_t rowLength = (static_cast<uint64_t>(desc->width) * bits + 31) / 32 * 4;
  const uint32_t dataOffset = 54 + 4 * entries;
  const uint64_t fileSize = dataOffset + rowLength * desc->height;
  if (fileSize > 0xFFFFFFFFu) return imgFail(kImgErrBitsUnsupported);

  // A memory target keeps the caller's size: the file may only shrink it.
  if (desc->handle == -1) {
    desc->memSize = static_cast<int32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(std::max(desc->memSize, 0)), desc->startOffset + fileSize));
  }
  std::vector<uint8_t> head(dataOffset, 0);
  head[0] = 'B';
  head[1] = 'M';
  fmt::putLe32(&head[2], static_cast<uint32_t>(fileSize));
  fmt::putLe32(&head[10], dataOffset);
  fmt::putLe32(&head[14], 40);
  fmt::putLe32(&head[18], desc->width);
  fmt::putLe32(&head[22], desc->height);
  fmt::putLe16(&head[26], 1);
  fmt::putLe16(&head[28], static_cast<uint32_t>(bits));
  fmt::putLe32(&head[34], static_cast<uint32_t>(rowLength * desc->height));
  fmt::putLe32(&head[38], static_cast<uint32_t>(desc->densityX) * 3937 / 100);
  fmt::putLe32(&head[42], static_cast<uint32_t>(desc->densityY) * 3937 / 100);
  for (uint32_t i = 0; i < entries; ++i) {
    head[54 + 4 * i] = desc->palette[3 * i + 2];
    head[55 + 4 * i] = desc->palette[3 * i + 1];
    head[56 + 4 * i] = desc->palette[3 * i];
  }
  desc->dataOffset = dataOffset;
  if (fmt::writeAll(desc, head.data(), head.size()) != 0) return -1;
  if (funcCompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  if (!supported) return imgFail(kImgErrBitsUnsupported);

  BmpWriter* w = new (std::nothrow) BmpWriter;
  if (w == nullptr) return imgFail(kImgErrNoMemory);
  w->bits = bits;
  w->rowLength = static_cast<size_t>(rowLength);
  desc->writerState = w;
  desc->rowLength = static_cast<uint32_t>(rowLength);
  desc->lineWriter = bmpBand;
  return 0;
}

int funcBmpCompEnd(ImgCompDesc* desc) {
  delete writerOf(desc);
  desc->writerState = nullptr;
  return 0;
}

}  // namespace zc::codec
