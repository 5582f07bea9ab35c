// The formats this library dispatches to. Each format stage exports its rows (a span of
// compression formats, or one decompression format) and is listed here once; the rows are
// gathered on first use in the order listed. A stage is listed when its folder is part of the
// build (the ZC_CODEC_WITH_* definitions come from codec/CMakeLists.txt).
#include <vector>

#include "codec/core/img_formats.h"
#if defined(ZC_CODEC_WITH_RASTER_FORMATS)
#include "codec/formats/raster_formats.h"
#endif
#if defined(ZC_CODEC_WITH_JPEG_COMP)
#include "codec/jpeg/jpeg_comp_format.h"
#endif
#if defined(ZC_CODEC_WITH_JPEG_DECOMP)
#include "codec/jpeg/decoder/jpeg_decomp_format.h"
#endif

namespace zc::codec {
namespace {

// Sources of compression rows ("BMP", "PCX", "GIF", "JPEG", "JPEGG", "PROG", "PROGG").
using CompSource = std::span<const ImgCompFormat> (*)();
constexpr CompSource kCompSources[] = {
#if defined(ZC_CODEC_WITH_RASTER_FORMATS)
    rasterCompFormats,
#endif
#if defined(ZC_CODEC_WITH_JPEG_COMP)
    jpegCompFormats,
#endif
    nullptr,
};

// Sources of decompression rows ("BMP", "GIF", "PCX", "JPEG", "TIFF", "LZW").
using DecompSource = const ImgDecompFormat& (*)();
constexpr DecompSource kDecompSources[] = {
#if defined(ZC_CODEC_WITH_RASTER_FORMATS)
    bmpDecompFormat,  gifDecompFormat, pcxDecompFormat,
#endif
#if defined(ZC_CODEC_WITH_JPEG_DECOMP)
    jpegDecompFormat,
#endif
#if defined(ZC_CODEC_WITH_RASTER_FORMATS)
    tiffDecompFormat, lzwDecompFormat,
#endif
    nullptr,
};

}  // namespace

std::span<const ImgCompFormat> imgCompFormats() {
  static const std::vector<ImgCompFormat> rows = [] {
    std::vector<ImgCompFormat> all;
    for (CompSource source : kCompSources) {
      if (source == nullptr) continue;
      for (const ImgCompFormat& f : source()) all.push_back(f);
    }
    return all;
  }();
  return rows;
}

std::span<const ImgDecompFormat> imgDecompFormats() {
  static const std::vector<ImgDecompFormat> rows = [] {
    std::vector<ImgDecompFormat> all;
    for (DecompSource source : kDecompSources) {
      if (source != nullptr) all.push_back(source());
    }
    return all;
  }();
  return rows;
}

}  // namespace zc::codec
