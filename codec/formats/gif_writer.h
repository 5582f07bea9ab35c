// GIF87a writer: one image covering the logical screen, an optional global colour table, and
// the pixels LZW-coded with the GIF rule in data sub-blocks of at most 255 bytes, closed with the
// end-of-information code, a zero-length block and the trailer ";".
#pragma once

#include "codec/core/img_desc.h"

namespace zc::codec {

// Start for the tag "GIF": 0, or -1 with 1 (handle 0), 15 (bits not 1, 2, 4 or 8), 2 (memory).
int funcGifCompStart(ImgCompDesc* desc);
// Codes the rest, closes the stream, writes what is buffered and frees the coder: 0, or -1 with 19.
int funcGifCompEnd(ImgCompDesc* desc);

}  // namespace zc::codec
