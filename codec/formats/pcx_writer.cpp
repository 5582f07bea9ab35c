// PCX writer: header, plane packing and run-length coding.
#include "codec/formats/pcx_writer.h"

#include <cstring>
#include <new>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/writer_common.h"

namespace zc::codec {
namespace {

struct PcxWriter {
  int bits = 8;
  size_t bytesPerLine = 0;
  std::vector<uint8_t> line;
  std::vector<uint8_t> coded;
};

PcxWriter* writerOf(ImgCompDesc* desc) {
  return static_cast<PcxWriter*>(desc->writerState);
}

// Packs bit `plane` of each pixel, first pixel in the most significant bit; bits and bytes past the
// width are set to 1.
void packPlane(const uint8_t* row, int width, int plane, uint8_t* out, size_t bytesPerLine) {
  std::memset(out, 0xFF, bytesPerLine);
  for (int x = 0; x < width; ++x) {
    if (((row[x] >> plane) & 1) == 0) out[x >> 3] = static_cast<uint8_t>(out[x >> 3] & ~(0x80 >> (x & 7)));
  }
}

int pcxBand(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  ImgCompDesc* desc = ImgCurrentCompDesc;
  if (!fmt::bandFitsImage(desc, firstCol, firstRow, endCol, endRow, rows) || desc->writerState == nullptr) {
    iImgError = kImgErrDimensions;
    return kImgErrDimensions;
  }
  PcxWriter* w = writerOf(desc);
  w->coded.clear();
  for (int r = firstRow; r < endRow; ++r, rows += desc->width) {
    if (w->bits == 8) {
      fmt::pcxEncodeLine(rows, desc->width, w->coded);
      continue;
    }
    const int planes = w->bits == 4 ? 4 : 1;
    for (int p = 0; p < planes; ++p) {
      packPlane(rows, desc->width, p, w->line.data(), w->bytesPerLine);
      fmt::pcxEncodeLine(w->line.data(), w->bytesPerLine, w->coded);
    }
  }
  return fmt::writeAll(desc, w->coded.data(), w->coded.size());
}

}  // namespace

namespace fmt {

void pcxEncodeLine(const uint8_t* line, size_t count, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < count) {
    const uint8_t v = line[i];
    size_t n = 1;
    while (i + n < count && line[i + n] == v) ++n;
    i += n;
    if (n == 1 && v < 0xC0) {
      out.push_back(v);
      continue;
    }
    for (size_t pairs = (n - 1) / 63; pairs > 0; --pairs, n -= 63) {
      out.push_back(0xFF);
      out.push_back(v);
    }
    out.push_back(static_cast<uint8_t>(0xC0 + n));
    out.push_back(v);
  }
}

}  // namespace fmt

int funcPcxCompStart(ImgCompDesc* desc) {
  if (desc->handle == 0) return imgFail(kImgErrFileHandle);
  if (desc->palette == nullptr || desc->colorModel == 0) return imgFail(38);
  const int bits = desc->bitsPerPixel;
  const int w = desc->width;
  size_t bytesPerLine = static_cast<size_t>(w);
  if (bits == 1) bytesPerLine = static_cast<size_t>((w + 7) / 8 + 1) & ~size_t{1};
  if (bits == 4) bytesPerLine = 2 * static_cast<size_t>((w + 15) / 16);

  uint8_t head[128] = {};
  head[0] = 0x0A;
  head[1] = bits == 8 ? 5 : 2;  // version 5 announces the 256-colour trailer
  head[2] = 1;
  head[3] = static_cast<uint8_t>(bits == 4 ? 1 : bits);
  fmt::putLe16(head + 8, desc->width > 0 ? desc->width - 1u : 0u);
  fmt::putLe16(head + 10, desc->height > 0 ? desc->height - 1u : 0u);
  if (bits == 1 || bits == 4) std::memcpy(head + 16, desc->palette, 3u << bits);
  head[65] = bits == 4 ? 4 : 1;
  fmt::putLe16(head + 66, static_cast<uint32_t>(bytesPerLine));
  fmt::putLe16(head + 68, 2);
  if (fmt::writeAll(desc, head, sizeof(head)) != 0) return -1;
  desc->dataOffset = sizeof(head);
  if (bits != 1 && bits != 4 && bits != 8) return imgFail(kImgErrBitsUnsupported);

  PcxWriter* pw = new (std::nothrow) PcxWriter;
  if (pw == nullptr) return imgFail(kImgErrNoMemory);
  pw->bits = bits;
  pw->bytesPerLine = bytesPerLine;
  pw->line.resize(bytesPerLine);
  desc->writerState = pw;
  desc->rowLength = static_cast<uint32_t>(bytesPerLine);
  desc->lineWriter = pcxBand;
  return 0;
}

int funcPcxCompEnd(ImgCompDesc* desc) {
  PcxWriter* w = writerOf(desc);
  if (w == nullptr) return 0;
  const int bits = w->bits;
  delete w;
  desc->writerState = nullptr;
  if (bits != 8) return 0;
  // A file gets the trailer at its end; a memory target right behind the coded rows.
  if (desc->handle != -1 && funcCompSeek(desc, 0, 2) < 0) return imgFail(kImgErrSeek);
  uint8_t trailer[769];
  trailer[0] = 0x0C;
  std::memcpy(trailer + 1, desc->palette, 768);
  if (fmt::writeAll(desc, trailer, sizeof(trailer)) != 0) return -1;
  return 1;
}

}  // namespace zc::codec
