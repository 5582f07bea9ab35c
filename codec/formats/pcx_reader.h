// PCX reader: the 128-byte header (size, bits per plane, planes, bytes per line, 16-colour palette),
// the 256-colour trailer of 8-bit files, and run-length decoding of 1-bit, 4-bit (four bit planes or
// packed nibbles) and 8-bit images, delivered as one byte a pixel.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Header reader run by funcInitDecomp for sources beginning 0x0A: 1, or -1 with 4, 6, 3 or 13.
int funcPcxReadHeader(ImgDecompDesc* desc);
// Decodes the window in bands of 8 rows: 0, or -1 with 4, 8, 13, 14, 2 or 3.
int funcPcxDecode(ImgDecompDesc* desc);

}  // namespace zc::codec
