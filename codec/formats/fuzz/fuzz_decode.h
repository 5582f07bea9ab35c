// Shared body of the raster reader fuzz targets. The last kOptionBytes bytes of the input choose the
// caller's side of the descriptor; the bytes before them are the memory source:
//   option 0  output colour mode (0 palette indexes, 1 gray, 3 RGB, 4, and 2 and 5 that no reader
//             knows), palette given or not (bit 7)
//   option 1  dither mode (0..3), reduction components preset (bits 2-3), colours preset (bits 4-7)
//   option 2-5  window left, top, width, height (0: to the image's edge), each byte times a step of
//             1 or 4 (option 6 bit 0)
//   option 6  bits 1-7: start offset into the source (up to 127 bytes of leading junk)
//   option 7  source size cut (0: whole; else that many bytes fewer) and the TIFF page (low bits)
// The display function checks that every band lies inside the window and has the window's width, and
// a failure must be a codec error code. Images above 4 Mpx are not decoded, to keep each run short.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"

namespace zc::codec::fuzz {

inline constexpr size_t kOptionBytes = 8;

inline uint16_t gWindowWidth = 0;
inline uint16_t gWindowHeight = 0;

inline int checkBand(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows, uintptr_t) {
  if (firstCol != 0 || endCol != gWindowWidth || firstRow < 0 || endRow > gWindowHeight ||
      firstRow >= endRow || rows == nullptr) {
    std::abort();
  }
  return 0;
}

inline void decodeAll(const uint8_t* data, size_t size, std::span<const ImgDecompFormat> rows) {
  if (size < kOptionBytes) return;
  const uint8_t* opt = data + size - kOptionBytes;
  size -= kOptionBytes;
  static constexpr uint8_t kModes[] = {0, 1, 3, 4, 2, 5};
  const int step = (opt[6] & 1) ? 4 : 1;
  const uint32_t start = opt[6] >> 1;
  const size_t cut = opt[7] < size ? opt[7] : size;

  uint8_t palette[768] = {};
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.memAddress = data;
  d.memSize = static_cast<int32_t>(size - cut);
  d.startOffset = start;
  d.palette = (opt[0] & 0x80) ? nullptr : palette;
  d.outputColorMode = kModes[(opt[0] & 0x7F) % 6];
  d.ditherMode = opt[1] & 3;
  d.reductionComponents = (opt[1] >> 2) & 3;
  d.colors = static_cast<int16_t>(opt[1] >> 4 == 0 ? 0 : 1 << (opt[1] >> 4));
  d.tiffPage = opt[7] & 3;
  if (initDecompWith(&d, rows) < 0) {
    if (iImgError < 1 || iImgError > 73) std::abort();
    return;
  }
  if (static_cast<uint64_t>(d.width) * d.height > (1u << 22)) return;
  d.windowLeft = static_cast<uint16_t>(opt[2] * step);
  d.windowTop = static_cast<uint16_t>(opt[3] * step);
  d.windowWidth = static_cast<uint16_t>(opt[4] * step);
  d.windowHeight = static_cast<uint16_t>(opt[5] * step);
  gWindowWidth = d.windowWidth ? d.windowWidth : static_cast<uint16_t>(d.width - d.windowLeft);
  gWindowHeight = d.windowHeight ? d.windowHeight : static_cast<uint16_t>(d.height - d.windowTop);
  d.display = checkBand;
  const int r = decompWith(&d, rows);
  if (r < 0 && (iImgError < 1 || iImgError > 73)) std::abort();
}

}  // namespace zc::codec::fuzz
