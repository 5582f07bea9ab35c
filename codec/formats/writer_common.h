// Small services the GIF, PCX and BMP writers share: checking a band against the image, and
// writing through the descriptor's stream with the short-write code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/core/img_desc.h"

namespace zc::codec::fmt {

// A band must cover whole rows (columns 0..width) and lie inside the image.
bool bandFitsImage(const ImgCompDesc* desc, int firstCol, int firstRow, int endCol, int endRow,
                   const uint8_t* rows);

// 0 when all bytes were written; otherwise 19 is stored and returned.
int writeAll(ImgCompDesc* desc, const uint8_t* bytes, size_t count);

}  // namespace zc::codec::fmt
