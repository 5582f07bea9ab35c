// Reader for an LZW-coded 8-bit TIFF strip (tag "LZW", set up by the TIFF header reader): codes
// most significant bit first with the TIFF 6.0 code-width rule, rows delivered in bands of 8.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Decodes the window from the strip at the descriptor's start offset: 0, or -1 with 8, 9, 10, 13, 14,
// 3 or 2.
int funcLzwDecode(ImgDecompDesc* desc);

}  // namespace zc::codec
