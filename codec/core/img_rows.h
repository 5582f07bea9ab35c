// Row geometry shared by the format stages: the row-length rule of the file layouts and
// the clipper that cuts a decoded band to the caller's window.
#pragma once

#include <cstdint>

#include "codec/core/img_desc.h"

namespace zc::codec {

// Bytes per row for 1, 4, 8 or 24 bits; padding 0 none, 1 four-byte rows, 2 PCX layout.
// Other bit counts or paddings, and rows longer than 65535 bytes, give 0.
int funcImgRowBytes(int width, int bitsPerPixel, int padding);

// Cuts the band of `rows` rows that starts at image row desc->currentRow (rows desc->bandStride
// bytes apart in desc->bandBuffer) to the window: moves the window's rows to the front of the
// buffer, packed at the window width, sets desc->firstRowInWindow and returns their count.
// The band's pixels are taken as 3 bytes for RGB output (desc->outputColorMode 3), else 1 byte.
int funcClipBandToWindow(ImgDecompDesc* desc, int rows);
// The same for a band whose pixels are bytesPerPixel bytes each, whatever the output mode.
int funcClipBandToWindow(ImgDecompDesc* desc, int rows, int bytesPerPixel);

}  // namespace zc::codec
