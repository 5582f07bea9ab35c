// The rows through which this library's formats join the codec's dispatch: the compression
// formats "BMP", "PCX" and "GIF", and the decompression formats "BMP", "GIF", "PCX", "TIFF" and "LZW".
#pragma once

#include <span>

#include "codec/core/img_formats.h"

namespace zc::codec {

std::span<const ImgCompFormat> rasterCompFormats();

const ImgDecompFormat& bmpDecompFormat();
const ImgDecompFormat& gifDecompFormat();
const ImgDecompFormat& pcxDecompFormat();
const ImgDecompFormat& tiffDecompFormat();
const ImgDecompFormat& lzwDecompFormat();

}  // namespace zc::codec
