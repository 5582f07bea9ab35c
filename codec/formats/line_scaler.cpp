// Column map and vertical accumulator of the line scaler.
#include "codec/formats/line_scaler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/core/img_error.h"

namespace zc::codec {
namespace {

constexpr uint32_t kOne = 2048;

int bytesPerPixel(int pixelKind) {
  return pixelKind == 3 || pixelKind == 4 ? 3 : 1;
}

int scaleRows(ImgScaler* s, int rows, int bpp) {
  if (s == nullptr || s->columnMap == nullptr || rows <= 0) return 0;
  const uint8_t* in = s->sourceRows;
  uint8_t* out = s->outputRows;
  const size_t inStride = static_cast<size_t>(s->sourceWidth) * bpp;
  const size_t outStride = static_cast<size_t>(s->outputWidth) * bpp;
  const size_t outBytes = static_cast<size_t>(s->usedWidth) * bpp;
  uint32_t acc = s->accumulator;
  int written = 0;
  for (int r = 0; r < rows; ++r, in += inStride) {
    acc += s->yFactor;
    if (acc < kOne) continue;
    uint8_t* row = out;
    if (bpp == 1) {
      for (uint16_t k = 0; k < s->usedWidth; ++k) row[k] = in[s->columnMap[k]];
    } else {
      for (uint16_t k = 0; k < s->usedWidth; ++k) std::memcpy(row + 3 * k, in + s->columnMap[k], 3);
    }
    acc -= kOne;
    out += outStride;
    ++written;
    while (acc >= kOne) {
      std::memcpy(out, row, outBytes);
      acc -= kOne;
      out += outStride;
      ++written;
    }
  }
  s->accumulator = static_cast<uint16_t>(acc);
  return written;
}

}  // namespace

int funcScaleInit(ImgScaler* s, int pixelKind) {
  if (s == nullptr) return imgFail(kImgErrNullPointer);
  const int bpp = bytesPerPixel(pixelKind);
  const uint32_t srcW = s->sourceWidth > s->xStart ? s->sourceWidth - s->xStart : 0u;
  const uint32_t srcH = s->sourceHeight > s->yStart ? s->sourceHeight - s->yStart : 0u;
  const uint32_t computedW = std::min<uint32_t>((srcW * s->xFactor + 2047) >> 11, 65535);
  const uint32_t computedH = std::min<uint32_t>((srcH * s->yFactor + 1024) >> 11, 65535);
  if (s->outputWidth == 0) s->outputWidth = static_cast<uint16_t>(computedW);
  if (s->outputHeight == 0) s->outputHeight = static_cast<uint16_t>(computedH);
  s->usedWidth = static_cast<uint16_t>(std::min<uint32_t>(s->outputWidth, computedW));
  s->usedHeight = static_cast<uint16_t>(std::min<uint32_t>(s->outputHeight, computedH));
  s->columnMap = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(s->usedWidth) * 4 + 32));
  if (s->columnMap == nullptr) return imgFail(kImgErrNoMemory);
  // Byte offsets are 32-bit, so rows longer than 65535 bytes map correctly.
  uint32_t src = static_cast<uint32_t>(s->xStart) * bpp;
  uint32_t acc = kOne / 2;
  uint32_t k = 0;
  for (uint32_t col = s->xStart; col < s->sourceWidth && k < s->usedWidth; ++col) {
    acc += s->xFactor;
    while (acc >= kOne && k < s->usedWidth) {
      s->columnMap[k++] = src;
      acc -= kOne;
    }
    src += static_cast<uint32_t>(bpp);
  }
  // Rounding the width up can leave the last columns unmapped: they repeat the last pixel.
  const uint32_t last = s->sourceWidth > 0 ? static_cast<uint32_t>(s->sourceWidth - 1) * bpp : 0u;
  while (k < s->usedWidth) s->columnMap[k++] = last;
  s->accumulator = static_cast<uint16_t>(kOne / 2);
  return 0;
}

int funcScaleFree(ImgScaler* s) {
  if (s == nullptr) return 0;
  std::free(s->columnMap);
  s->columnMap = nullptr;
  return 0;
}

int funcScaleLines8(ImgScaler* s, int rows) {
  return scaleRows(s, rows, 1);
}
int funcScaleLineRGB(ImgScaler* s, int rows) {
  return scaleRows(s, rows, 3);
}

int funcScaleLines8(const uint8_t* in, uint8_t* out, ImgScaler* s, int rows) {
  if (s == nullptr) return 0;
  s->sourceRows = in;
  s->outputRows = out;
  return scaleRows(s, rows, 1);
}

int funcScaleLineRGB(const uint8_t* in, uint8_t* out, ImgScaler* s, int rows) {
  if (s == nullptr) return 0;
  s->sourceRows = in;
  s->outputRows = out;
  return scaleRows(s, rows, 3);
}

}  // namespace zc::codec
