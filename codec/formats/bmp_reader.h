// BMP reader for uncompressed bottom-up files with the 40-byte (Windows) or 12-byte (OS/2) header:
// 1-, 4-, 8- and 24-bit rows. Bands are delivered from the window's bottom upward, each band's rows
// top row first; 24-bit images are delivered as R, G, B or reduced to palette indexes.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Header reader run by funcInitDecomp for sources beginning "BM": 1, or -1 with 4, 6, 10, 13, 31 or 3.
int funcBmpReadHeader(ImgDecompDesc* desc);
// Decodes the window: 0, or -1 with 3, 4, 8, 13, 14, 31 or 2.
int funcBmpDecode(ImgDecompDesc* desc);

}  // namespace zc::codec
