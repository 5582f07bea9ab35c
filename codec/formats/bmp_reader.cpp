// BMP header reading and bottom-up row decoding.
#include "codec/formats/bmp_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/band_frame.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/color_cube.h"
#include "codec/formats/reduce_rgb.h"
#include "codec/formats/source_reader.h"

namespace zc::codec {
namespace {

constexpr int kBandRows = 8;

size_t rowBytes(int width, int bits) {
  return (static_cast<size_t>(width) * bits + 31) / 32 * 4;
}

// Converts the window's columns of one file row to one byte a pixel, or R, G, B for 24 bits.
void convertRow(const uint8_t* in, int bits, int left, int width, uint8_t* out) {
  for (int i = 0; i < width; ++i) {
    const int x = left + i;
    switch (bits) {
      case 1:
        out[i] = (in[x >> 3] >> (7 - (x & 7))) & 1;
        break;
      case 4:
        out[i] = (x & 1) ? (in[x >> 1] & 15) : (in[x >> 1] >> 4);
        break;
      case 8:
        out[i] = in[x];
        break;
      default:
        out[3 * i] = in[3 * x + 2];
        out[3 * i + 1] = in[3 * x + 1];
        out[3 * i + 2] = in[3 * x];
    }
  }
}

bool rgbOutput(const ImgDecompDesc* desc) {
  return desc->outputColorMode == 3 || desc->outputColorMode == 4;
}

}  // namespace

int funcBmpReadHeader(ImgDecompDesc* desc) {
  const uint8_t* b = desc->readBuffer;
  const size_t fill = desc->readFill;
  std::memcpy(desc->tag, "BMP", 4);
  if (fill < 18) return imgFail(kImgErrRead);
  const uint32_t fileSize = fmt::getLe32(b + 2);
  const uint32_t dataOffset = fmt::getLe32(b + 10);
  const uint32_t headerSize = fmt::getLe32(b + 14);
  if (headerSize != 40 && headerSize != 12) return imgFail(kImgErrGifCode);
  const size_t headerEnd = 14 + headerSize;
  if (fill < headerEnd) return imgFail(kImgErrRead);

  int64_t width, height;
  int bits;
  uint32_t colorsUsed = 0;
  if (headerSize == 40) {
    width = static_cast<int32_t>(fmt::getLe32(b + 18));
    height = static_cast<int32_t>(fmt::getLe32(b + 22));
    bits = fmt::getLe16(b + 28);
    // Compressed (RLE, bit fields) and top-down files are not taken.
    if (fmt::getLe32(b + 30) != 0) return imgFail(kImgErrUnsupportedFile);
    desc->xResolution =
        static_cast<uint16_t>(std::min<uint64_t>(fmt::getLe32(b + 38) * 100ull / 3937, 65535));
    colorsUsed = fmt::getLe32(b + 46);
  } else {
    width = fmt::getLe16(b + 18);
    height = fmt::getLe16(b + 20);
    bits = fmt::getLe16(b + 24);
  }
  if (width < 1 || width > 65535 || height < 0 || height > 65535) return imgFail(kImgErrUnsupportedFile);
  desc->width = static_cast<uint16_t>(width);
  desc->height = static_cast<uint16_t>(height);
  desc->bitsPerPixel = static_cast<uint16_t>(bits);

  // A memory source keeps the caller's size; the file's size field may only lower it.
  if (desc->handle == -1 && fileSize != 0) {
    const int64_t end = static_cast<int64_t>(desc->startOffset) + fileSize;
    if (end < desc->memSize) desc->memSize = static_cast<int32_t>(end);
  }
  if (desc->headerCopy != nullptr) std::memcpy(desc->headerCopy, b, headerEnd);

  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const uint32_t maxEntries = indexed ? 1u << bits : 0u;
  const uint32_t entries = colorsUsed != 0 && colorsUsed < maxEntries ? colorsUsed : maxEntries;
  const size_t entrySize = headerSize == 40 ? 4 : 3;
  const size_t paletteBytes = entries * entrySize;
  if (desc->palette != nullptr && indexed) {
    std::vector<uint8_t> raw(paletteBytes);
    if (headerEnd + paletteBytes <= fill) {
      std::memcpy(raw.data(), b + headerEnd, paletteBytes);
    } else if (funcDecompSeek(desc, static_cast<int64_t>(desc->startOffset) + headerEnd, 0) < 0 ||
               funcDecompRead(desc, raw.data(), paletteBytes) != static_cast<int64_t>(paletteBytes)) {
      return imgFail(kImgErrPalette);
    }
    std::memset(desc->palette, 0, 3 * maxEntries);
    for (uint32_t i = 0; i < entries; ++i) {
      desc->palette[3 * i] = raw[i * entrySize + 2];
      desc->palette[3 * i + 1] = raw[i * entrySize + 1];
      desc->palette[3 * i + 2] = raw[i * entrySize];
    }
    desc->colors = static_cast<int16_t>(maxEntries);
    desc->paletteFilled = 1;
  } else if (desc->palette == nullptr && fill < headerEnd + paletteBytes) {
    return imgFail(kImgErrRead);
  }
  if (bits == 24 && desc->palette != nullptr) {
    if (desc->colors == 0) desc->colors = 256;
    uint16_t colors = static_cast<uint16_t>(std::min<int>(desc->colors, 256));
    if (desc->outputColorMode == 1) {
      // Gray output reduces luminance, so the palette is the gray ramp of that many levels.
      desc->reductionComponents = 1;
      funcGrayRamp(1, colors, nullptr, desc->palette);
    } else {
      desc->reductionComponents = 3;
      if (funcColorCube(3, &colors, nullptr, desc->palette) < 0) return -1;
    }
    desc->paletteFilled = 1;
  }
  if (funcDecompSeek(desc, static_cast<int64_t>(desc->startOffset) + dataOffset, 0) < 0) {
    return imgFail(kImgErrSeek);
  }
  return 1;
}

int funcBmpDecode(ImgDecompDesc* desc) {
  const int64_t dataStart = desc->position;
  const int bits = desc->bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return imgFail(kImgErrUnsupportedFile);
  if (fmt::prepareWindow(desc) < 0) return -1;
  const size_t rowLength = rowBytes(desc->width, bits);
  const int winW = desc->windowWidth;
  const int winH = desc->windowHeight;
  const bool rgb = bits == 24 && rgbOutput(desc);
  const bool reduce = bits == 24 && !rgb;

  fmt::RgbReducer reducer;
  if (reduce) {
    if (desc->reductionComponents == 0) desc->reductionComponents = desc->outputColorMode == 1 ? 1 : 3;
    if (reducer.init(desc, winW) < 0) return -1;
  }
  const int64_t below = desc->height - desc->windowTop - winH;
  fmt::SourceReader source(desc);
  if (!source.seek(dataStart + below * static_cast<int64_t>(rowLength))) return imgFail(kImgErrSeek);

  const size_t converted = static_cast<size_t>(winW) * (bits == 24 ? 3 : 1);
  std::vector<uint8_t> fileRow(rowLength);
  std::vector<uint8_t> band(converted * kBandRows);
  std::vector<uint8_t> mapped(reduce ? static_cast<size_t>(winW) * kBandRows : 0);
  int bottom = winH;  // window row below the next band
  while (bottom > 0) {
    const int n = std::min(kBandRows, bottom);
    for (int i = n - 1; i >= 0; --i) {
      if (source.read(fileRow.data(), rowLength) != rowLength) return imgFail(kImgErrRead);
      convertRow(fileRow.data(), bits, desc->windowLeft, winW,
                 band.data() + static_cast<size_t>(i) * converted);
    }
    const uint8_t* rows = band.data();
    if (reduce) {
      reducer.reduce(band.data(), n, mapped.data());
      rows = mapped.data();
    }
    bottom -= n;
    desc->firstRowInWindow = static_cast<uint16_t>(bottom);
    const int r = desc->display(0, bottom, winW, bottom + n, rows, desc->userValue);
    desc->displayResult = static_cast<uint32_t>(r);
    if (r != 0) return imgFail(kImgErrDisplayFunction);
  }
  return 0;
}

}  // namespace zc::codec
