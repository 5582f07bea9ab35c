// GIF reader (GIF87a and GIF89a): the screen descriptor and global colour table, a search for the
// first image past any extensions, the image descriptor with its local table and interlace flag,
// and LZW decoding (GIF rule) of the joined data sub-blocks. Non-interlaced images arrive in bands
// of 8 rows; interlaced ones row by row in the format's four-pass order. The image's interlace flag
// travels from the header reader to the decoder in the descriptor's progressive flag.
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Header reader run by funcInitDecomp for sources beginning "GIF": 1, or -1 with 4, 11 or 3.
int funcGifReadHeader(ImgDecompDesc* desc);
// Decodes the window: 0, or -1 with 8, 9, 10, 14 or 3.
int funcGifDecode(ImgDecompDesc* desc);

}  // namespace zc::codec
