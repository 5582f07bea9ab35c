// TIFF header reading, strip hand-off and the uncompressed and PackBits band readers.
#include "codec/formats/tiff_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/band_frame.h"
#include "codec/formats/color_cube.h"
#include "codec/formats/packbits.h"
#include "codec/formats/reduce_rgb.h"
#include "codec/formats/source_reader.h"
#include "codec/formats/tiff_ifd.h"
#include "codec/jpeg/decoder/jpeg_decomp_format.h"

namespace zc::codec {
namespace {

constexpr uint32_t kNone = 1;
constexpr uint32_t kLzw = 5;
constexpr uint32_t kOldJpeg = 6;
constexpr uint32_t kJpeg = 7;
constexpr uint32_t kPackBits = 32773;
constexpr int kUnsupported = 71;
constexpr int kStripOffsetType = 70;
constexpr size_t kMaxBandBytes = size_t{64} << 20;

bool rawStrips(uint32_t compression) {
  return compression == kNone || compression == kPackBits;
}
bool rgbOutput(const ImgDecompDesc* desc) {
  return desc->outputColorMode == 3 || desc->outputColorMode == 4;
}
bool shortOrLong(int type) {
  return type == 3 || type == 4;
}
// Only a file that states white-is-zero is inverted: without the tag, gray reads as black-is-zero.
bool whiteIsZero(const fmt::TiffIfd& ifd) {
  return ifd.photometricGiven && ifd.photometric == 0;
}

// Palette for 8-bit gray images, whatever their strips' coding: the gray ramp.
void fillGrayPalette(ImgDecompDesc* desc) {
  desc->reductionComponents = 1;
  desc->colors = 256;
  funcGrayRamp(1, 256, nullptr, desc->palette);
  desc->paletteFilled = 1;
}

// Palette for 24-bit images: the gray ramp for gray output (reduced from luminance), else the cube.
int fill24BitPalette(ImgDecompDesc* desc) {
  if (desc->colors == 0) desc->colors = 256;
  uint16_t colors = static_cast<uint16_t>(std::clamp<int>(desc->colors, 0, 256));
  if (desc->outputColorMode == 1) {
    desc->reductionComponents = 1;
    funcGrayRamp(1, colors, nullptr, desc->palette);
  } else {
    desc->reductionComponents = 3;
    if (funcColorCube(3, &colors, nullptr, desc->palette) < 0) return -1;
  }
  desc->paletteFilled = 1;
  return 0;
}

// Re-reads the directory with its strips and points the source at the single strip.
int handOffStrip(ImgDecompDesc* desc, const char* tag) {
  fmt::TiffIfd ifd;
  if (fmt::readTiffIfd(desc, desc->tiffPage, false, &ifd) < 0) return -1;
  if (ifd.stripOffsets.size() != 1 || ifd.stripRows() != ifd.height) return imgFail(kUnsupported);
  if (!shortOrLong(ifd.offsetType)) return imgFail(kStripOffsetType);
  desc->startOffset = ifd.stripOffsets[0];
  std::memset(desc->tag, 0, sizeof(desc->tag));
  std::memcpy(desc->tag, tag, std::strlen(tag));
  if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  return 0;
}

uint16_t dotsPerInch(const uint32_t r[2], uint32_t unit) {
  if (r[1] == 0) return 0;
  uint64_t dpi = r[0] / r[1];
  if (unit == 3) dpi = static_cast<uint64_t>(r[0]) * 254 / (static_cast<uint64_t>(r[1]) * 100);
  return static_cast<uint16_t>(std::min<uint64_t>(dpi, 65535));
}

}  // namespace

int funcTiffReadHeader(ImgDecompDesc* desc) {
  fmt::TiffIfd ifd;
  std::memset(desc->tag, 0, sizeof(desc->tag));
  std::memcpy(desc->tag, "TIFF", 4);
  desc->lzwInverted = 0;
  if (fmt::readTiffIfd(desc, desc->tiffPage, true, &ifd) < 0) return -1;
  if (ifd.width == 0 || ifd.height == 0 || ifd.width > 65535 || ifd.height > 65535)
    return imgFail(kUnsupported);
  desc->width = static_cast<uint16_t>(ifd.width);
  desc->height = static_cast<uint16_t>(ifd.height);
  desc->bitsPerPixel = static_cast<uint16_t>(std::min<uint32_t>(ifd.bits, 65535));
  desc->xResolution = dotsPerInch(ifd.xResolution, ifd.resolutionUnit);
  // Differenced samples, separate planes and palette images would come out as wrong pixels.
  if (ifd.predictor != 1 || ifd.planar != 1 || ifd.photometric == 3) return imgFail(kUnsupported);
  const bool rgbStrips = ifd.bits == 24 && (!ifd.photometricGiven || ifd.photometric == 2);

  if (desc->palette != nullptr) {
    if (ifd.bits == 8 && rawStrips(ifd.compression)) {
      fillGrayPalette(desc);
      return 0;
    }
    if (ifd.bits == 24 && ifd.compression == kPackBits) {
      if (!rgbStrips) return imgFail(kUnsupported);
      return fill24BitPalette(desc);
    }
  }
  if (ifd.bits == 24 && ifd.compression == kNone) {
    if (!rgbStrips) return imgFail(kUnsupported);
    if (desc->palette == nullptr) {
      return desc->outputColorMode == 0 || desc->outputColorMode == 1 ? imgFail(38) : 0;
    }
    return fill24BitPalette(desc);
  }
  if (desc->palette != nullptr &&
      ((ifd.bits == 24 && (ifd.compression == kOldJpeg || ifd.compression == kJpeg)) ||
       (ifd.bits == 8 && ifd.compression == kOldJpeg))) {
    desc->reductionComponents = ifd.bits == 24 && desc->outputColorMode == 1 ? 1 : 3;
    desc->colors = 256;
    if (handOffStrip(desc, "JPEG") < 0) return -1;
    return funcJpegInfo(desc);
  }
  // LZW strips of 8-bit images only (the LZW decoder's depth); white-is-zero is inverted as the
  // uncompressed reader does.
  if (ifd.compression != kLzw || ifd.bits != 8) return imgFail(kUnsupported);
  if (handOffStrip(desc, "LZW") < 0) return -1;
  desc->lzwInverted = whiteIsZero(ifd) ? 1 : 0;
  if (desc->palette != nullptr) fillGrayPalette(desc);
  return 0;
}

int funcTiffDecode(ImgDecompDesc* desc) {
  if (fmt::prepareWindow(desc) < 0) return -1;
  fmt::TiffIfd ifd;
  if (fmt::readTiffIfd(desc, desc->tiffPage, false, &ifd) < 0) return -1;
  if (!rawStrips(ifd.compression) || (ifd.bits != 8 && ifd.bits != 24)) return imgFail(kUnsupported);
  if (ifd.width != desc->width || ifd.height != desc->height) return imgFail(kImgErrDimensions);
  if (!shortOrLong(ifd.offsetType)) return imgFail(kStripOffsetType);
  if (ifd.stripOffsets.empty()) return imgFail(kImgErrRead);

  const int comps = ifd.bits == 24 ? 3 : 1;
  const bool rgb = comps == 3 && rgbOutput(desc);
  const bool reduce = comps == 3 && !rgb;
  const bool invert = comps == 1 && whiteIsZero(ifd);
  const size_t winW = desc->windowWidth;
  const int winH = desc->windowHeight;
  const int top = desc->windowTop;
  const uint32_t rps = ifd.stripRows();
  const bool packBits = ifd.compression == kPackBits;
  // PackBits windows come as one band, unless that band would pass kMaxBandBytes: a few header
  // bytes must not make the reader claim gigabytes before any data is read.
  const size_t windowRowBytes = winW * comps;
  const size_t fitRows = std::max<size_t>(kMaxBandBytes / windowRowBytes, 8);
  const int bandRows = packBits ? static_cast<int>(std::min(fitRows, static_cast<size_t>(winH))) : 8;

  try {
    fmt::RgbReducer reducer;
    if (reduce) {
      if ((desc->outputColorMode == 0 || desc->outputColorMode == 1) && desc->palette == nullptr)
        return imgFail(38);
      if (desc->reductionComponents == 0) desc->reductionComponents = desc->outputColorMode == 1 ? 1 : 3;
      if (reducer.init(desc, static_cast<int>(winW)) < 0) return -1;
    }
    const size_t outBytes = winW * (rgb ? 3 : 1);
    const size_t inBytes = winW * comps;
    std::vector<uint8_t> band(outBytes * bandRows + 32);
    std::vector<uint8_t> rgbRows(reduce ? inBytes * bandRows : 0);
    std::vector<uint8_t> fullRow(packBits ? static_cast<size_t>(ifd.width) * comps + 32 : 0);
    fmt::BandDelivery delivery(desc, 1, 0);
    fmt::SourceReader source(desc);
    uint32_t packRow = 0;  // next image row of the PackBits stream

    for (int done = 0; done < winH;) {
      const int n = std::min(bandRows, winH - done);
      uint8_t* target = reduce ? rgbRows.data() : band.data();
      for (int i = 0; i < n; ++i) {
        const uint32_t r = static_cast<uint32_t>(top + done + i);
        uint8_t* dst = target + static_cast<size_t>(i) * inBytes;
        if (!packBits) {
          const uint32_t s = r / rps;
          if (s >= ifd.stripOffsets.size()) return imgFail(kImgErrRead);
          const int64_t at = static_cast<int64_t>(ifd.stripOffsets[s]) +
                             (static_cast<int64_t>(r - s * rps) * ifd.width + desc->windowLeft) * comps;
          if (funcDecompSeek(desc, at, 0) < 0) return imgFail(kImgErrSeek);
          if (funcDecompRead(desc, dst, inBytes) != static_cast<int64_t>(inBytes))
            return imgFail(kImgErrRead);
          continue;
        }
        // Rows above the window are decoded and dropped.
        for (; packRow <= r; ++packRow) {
          if (packRow % rps == 0) {
            const uint32_t s = packRow / rps;
            if (s >= ifd.stripOffsets.size()) return imgFail(kImgErrRead);
            if (!source.seek(ifd.stripOffsets[s])) return imgFail(kImgErrSeek);
          }
          if (!fmt::unpackBitsRow(source, fullRow.data(), static_cast<size_t>(ifd.width) * comps)) {
            return imgFail(kImgErrRead);
          }
        }
        std::memcpy(dst, fullRow.data() + static_cast<size_t>(desc->windowLeft) * comps, inBytes);
      }
      if (reduce) reducer.reduce(rgbRows.data(), n, band.data());
      if (invert) {
        for (size_t k = 0; k < outBytes * n; ++k) band[k] = static_cast<uint8_t>(255 - band[k]);
      }
      if (delivery.deliverWindowRows(band.data(), done, n) < 0) return -1;
      done += n;
    }
  } catch (const std::bad_alloc&) {
    return imgFail(kImgErrNoMemory);
  }
  return 0;
}

}  // namespace zc::codec
