// The codec's TIFF reader for one image file directory (the descriptor's TIFF page): 8-bit gray and
// 24-bit RGB strips, uncompressed (bands of 8 rows) or PackBits (one band of the window, split when above 64
// MB); JPEG strips are handed to the JPEG reader and LZW strips of 8-bit images to the LZW strip reader.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Header reader run by funcInitDecomp for "II*" and "MM" sources: 0 (or the JPEG header's result),
// or -1 with 65..71, 38, 3 or 4.
int funcTiffReadHeader(ImgDecompDesc* desc);
// Decodes the window: 0, or -1 with 8, 71, 70, 3, 4, 2, 14 or 31.
int funcTiffDecode(ImgDecompDesc* desc);

}  // namespace zc::codec
