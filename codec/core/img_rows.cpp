// Row-length rule and band clipping.
#include "codec/core/img_rows.h"

#include <algorithm>
#include <cstring>

namespace zc::codec {

int funcImgRowBytes(int width, int bitsPerPixel, int padding) {
  if (width < 0 || padding < 0 || padding > 2) return 0;
  const int64_t w = width;
  int64_t bytes;
  switch (bitsPerPixel) {
    case 1:
      bytes = padding == 0 ? (w + 7) / 8 : padding == 1 ? ((w + 7) / 8 + 3) & ~3LL : ((w + 7) / 8 + 1) & ~1LL;
      break;
    case 4:
      bytes = padding == 0 ? (w + 1) / 2 : padding == 1 ? ((w + 1) / 2 + 3) & ~3LL : ((w + 15) / 16) * 8;
      break;
    case 8:
      bytes = padding == 0 ? w : padding == 1 ? (w + 3) & ~3LL : (w + 1) & ~1LL;
      break;
    case 24:
      bytes = padding == 0 ? 3 * w : (3 * w + 3) & ~3LL;
      break;
    default:
      return 0;
  }
  // The descriptors keep row lengths in 16 bits.
  return bytes > 65535 ? 0 : static_cast<int>(bytes);
}

int funcClipBandToWindow(ImgDecompDesc* desc, int rows) {
  return funcClipBandToWindow(desc, rows, desc->outputColorMode == 3 ? 3 : 1);
}

int funcClipBandToWindow(ImgDecompDesc* desc, int rows, int bytesPerPixel) {
  if (rows <= 0 || desc->bandBuffer == nullptr) return 0;
  const int64_t r = desc->currentRow;
  const int64_t top = desc->windowTop;
  const int64_t end = std::min<int64_t>(top + desc->windowHeight, r + rows);
  const size_t stride = desc->bandStride;
  const size_t left = static_cast<size_t>(desc->windowLeft) * bytesPerPixel;
  const size_t width = static_cast<size_t>(desc->windowWidth) * bytesPerPixel;
  int64_t first;  // first band row inside the window
  if (r >= top && r < end) {
    first = 0;
    desc->firstRowInWindow = static_cast<uint16_t>(r - top);
  } else if (r < top && r + rows > top && top < end) {
    first = top - r;
    desc->firstRowInWindow = 0;
  } else {
    return 0;
  }
  const int64_t count = end - r - first;
  if (stride != width || left != 0 || first != 0) {
    for (int64_t i = 0; i < count; ++i) {
      std::memmove(desc->bandBuffer + width * i, desc->bandBuffer + stride * (first + i) + left, width);
    }
  }
  return static_cast<int>(count);
}

}  // namespace zc::codec
