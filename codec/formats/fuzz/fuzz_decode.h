// Shared body of the raster reader fuzz targets: the input is a memory source, decoded through the
// given format rows twice (whole image as palette indexes with error diffusion; a window as RGB
// with ordered dither). The display function checks that every band lies inside the window and has
// the window's width. Images above 4 Mpx are not decoded, to keep each run short.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"

namespace zc::codec::fuzz {

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
  for (int pass = 0; pass < 2; ++pass) {
    uint8_t palette[768] = {};
    ImgDecompDesc d;
    funcInitDecompDesc(&d);
    d.memAddress = data;
    d.memSize = static_cast<int32_t>(size);
    d.palette = palette;
    d.outputColorMode = pass == 0 ? 0 : 3;
    d.ditherMode = pass == 0 ? 2 : 1;
    if (initDecompWith(&d, rows) < 0) return;
    if (static_cast<uint64_t>(d.width) * d.height > (1u << 22)) return;
    if (pass == 1) {
      d.windowLeft = d.width / 4;
      d.windowTop = d.height / 3;
      d.windowWidth = static_cast<uint16_t>(d.width / 2);
      d.windowHeight = static_cast<uint16_t>(d.height / 2);
    }
    gWindowWidth = d.windowWidth ? d.windowWidth : static_cast<uint16_t>(d.width - d.windowLeft);
    gWindowHeight = d.windowHeight ? d.windowHeight : static_cast<uint16_t>(d.height - d.windowTop);
    d.display = checkBand;
    const int r = decompWith(&d, rows);
    if (r < 0 && (iImgError < 1 || iImgError > 73)) std::abort();
  }
}

}  // namespace zc::codec::fuzz
