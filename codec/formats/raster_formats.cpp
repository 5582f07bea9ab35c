// Format rows of the raster readers and writers.
#include "codec/formats/raster_formats.h"

#include "codec/formats/bmp_reader.h"
#include "codec/formats/bmp_writer.h"
#include "codec/formats/gif_reader.h"
#include "codec/formats/gif_writer.h"
#include "codec/formats/lzw_reader.h"
#include "codec/formats/pcx_reader.h"
#include "codec/formats/pcx_writer.h"
#include "codec/formats/tiff_reader.h"

namespace zc::codec {

std::span<const ImgCompFormat> rasterCompFormats() {
  static const ImgCompFormat kRows[] = {
      {"BMP", funcBmpCompStart, funcBmpCompEnd},
      {"PCX", funcPcxCompStart, funcPcxCompEnd},
      {"GIF", funcGifCompStart, funcGifCompEnd},
  };
  return kRows;
}

const ImgDecompFormat& bmpDecompFormat() {
  static const ImgDecompFormat kRow{"BMP", 3, funcBmpReadHeader, funcBmpDecode};
  return kRow;
}
const ImgDecompFormat& gifDecompFormat() {
  static const ImgDecompFormat kRow{"GIF", 3, funcGifReadHeader, funcGifDecode};
  return kRow;
}
const ImgDecompFormat& pcxDecompFormat() {
  static const ImgDecompFormat kRow{"PCX", 3, funcPcxReadHeader, funcPcxDecode};
  return kRow;
}
const ImgDecompFormat& tiffDecompFormat() {
  static const ImgDecompFormat kRow{"TIFF", 4, funcTiffReadHeader, funcTiffDecode};
  return kRow;
}
// Set by the TIFF header reader for LZW strips; no signature leads here.
const ImgDecompFormat& lzwDecompFormat() {
  static const ImgDecompFormat kRow{"LZW", 3, nullptr, funcLzwDecode};
  return kRow;
}

}  // namespace zc::codec
