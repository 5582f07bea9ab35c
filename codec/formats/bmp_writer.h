// BMP writer: a 14-byte file header and 40-byte information header (little-endian), the palette
// as B, G, R, 0 quads for 1-, 4- and 8-bit images, and rows bottom-up padded to four bytes. Each
// band is written at its own place, so bands may arrive in any order.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Start for the tag "BMP": 0, or -1 with 1 (handle 0), 38 (no palette or RGB input), 15 (bits not
// 1, 4, 8 or 24, after the header), 19, 3, 2.
int funcBmpCompStart(ImgCompDesc* desc);
// Frees the writer; 0.
int funcBmpCompEnd(ImgCompDesc* desc);

}  // namespace zc::codec
