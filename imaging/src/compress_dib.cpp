// VW_CompressDIB: a DIB of a scan written straight to an image file, by format code and depth.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "imaging/dib_convert.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/packed_dib.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

int64_t FileLength(const char* fileName) {
  tiff::Fd file(plat::OpenFileDescriptor(fileName, O_RDONLY | O_CLOEXEC));
  return file.fd < 0 ? zarn::kOpenFileError : tiff::FileSize(file.fd);
}

int ResultOfLength(int64_t length) {
  return length < 0 ? static_cast<int>(length) : static_cast<int>(std::min<int64_t>(length, INT32_MAX));
}

const char* TagOfFormat(int format) {
  switch (format) {
    case kFormatGif: return "GIF";
    case kFormatPcx: return "PCX";
    case kFormatJpeg: return "JPEG";
    case kFormatGrayJpeg: return "JPEGG";
    case kFormatProgressiveJpeg: return "PROG";
    case kFormatProgressiveGrayJpeg: return "PROGG";
    default: return "BMP";
  }
}

// The common descriptor settings of the DIB paths; the file is the caller's.
void Describe(codec::ImgCompDesc& d, const char* tag, const PackedDibInfo& info, int bits, int dpi, int file) {
  std::memset(d.tag, 0, sizeof d.tag);
  std::memcpy(d.tag, tag, std::min(std::strlen(tag), sizeof d.tag - 1));
  d.handle = file;
  d.width = static_cast<uint16_t>(info.width);
  d.height = static_cast<uint16_t>(info.height);
  d.bitsPerPixel = static_cast<uint16_t>(bits);
  d.rowsPerBand = 1;
  d.quality = static_cast<uint16_t>(zarn::funcTableGetParam(110));
  d.colorModel = 1;
  d.densityX = d.densityY = static_cast<uint16_t>(dpi);
  d.densityUnits = 1;
  d.jfifFlag = 1;
  d.fastTransform = 1;
}

// Codes the DIB's rows top first through `rowOf`, which gives image row y: the DIB's own row, or the row
// buffer (`rowRoom` bytes, none when 0) filled with it. The file's length on success, -232 when the codec's
// end fails, -102 when it does not start.
template <class RowFn>
int CodeDib(codec::ImgCompDesc& d, tiff::Fd& file, const PackedDibInfo& info, size_t rowRoom, RowFn rowOf) {
  if (codec::funcInitComp(&d) != 0) return zarn::kBadParameter;
  std::vector<uint8_t> row(rowRoom, 0);
  for (int y = 0; y < info.height; ++y) d.lineWriter(0, y, info.width, y + 1, rowOf(y, row.data()));
  // The codec's end gives 1 for a PCX with its palette trailer: only a negative end is a failure.
  if (codec::funcEndComp(&d) < 0) return zarn::kCompressionError;
  return ResultOfLength(tiff::FileSize(file.fd));
}

// The palette a BMP file of the DIB's depth announces: 2^bits entries of blue, green, red and a zero byte.
// The DIB may hold fewer entries (its colours-used field) and, under a core header, three bytes each; its
// entries are widened and the rest stay black. False when the DIB has more entries than the depth allows.
bool BmpPaletteOfDib(const PackedDibInfo& info, const uint8_t* dibPalette,
                     std::array<uint8_t, 4 * 256>& out) {
  const int entries = 1 << info.bitCount;
  if (info.bitCount > 8 || info.colors > entries) return false;
  const size_t entryBytes = info.coreHeader ? 3 : 4;
  out.fill(0);
  for (int i = 0; i < info.colors; ++i)
    std::memcpy(&out[4 * static_cast<size_t>(i)], dibPalette + static_cast<size_t>(i) * entryBytes, 3);
  return true;
}

}  // namespace

int VW_CompressDIB(std::span<uint8_t> dib, const char* fileName, int format, int /*cropFlag*/, int /*cropThreshold*/,
                   int bwThreshold, int dpi, char* codeLine, size_t codeLineRoom) {
  TraceAt(1, "Starting VW_CompressDIB");
  PackedDibInfo info;
  if (ReadPackedDib(dib, &info) != 0) return zarn::kOpenFileError;
  TraceAt(2, "Deciphered DIB Header");
  const std::span<uint8_t> pixels = dib.subspan(info.pixelOffset);
  const DibCodeLineReaders* readers = DibCodeLineCheck(codeLine, dpi);
  const int bits = info.bitCount;

  if (format == 0 || format == kFormatTiffG4) {
    TraceAt(2, "Compressing TIFF");
    if (bits != 1 && bits != 4 && bits != 8) return zarn::kUnsupportedImageType;
    std::vector<uint8_t> work;
    try {
      work.assign(info.stride * static_cast<size_t>(info.height) + 2048, 0);
    } catch (const std::bad_alloc&) {
      return zarn::kAllocError;
    }
    TraceAt(2, "Copying Image");
    // The copy mode of the record conversion, with its optical check.
    const int size = funcDIBToImage(dib, work, 0, 0, 0, bwThreshold, dpi, codeLine, codeLineRoom);
    TraceAt(2, "Done Copying Image");
    if (size < 0) return size;
    const int r = funcConvImageToFile(std::span<const uint8_t>(work).first(static_cast<size_t>(size)), bwThreshold, 1,
                                      1, 1, fileName);
    if (r < 0) return r;
    return ResultOfLength(FileLength(fileName));
  }
  if (bits == 1) return zarn::kUnsupportedImageType;

  codec::ImgCompDesc d;
  if (bits == 24) {
    TraceAt(2, "Starting 24 Bit Compression");
    // Both accepted formats write a colour JPEG, the BMP code included.
    if (format != kFormatBmp && format != kFormatGrayJpeg) return zarn::kUnsupportedImageType;
    if (format == kFormatBmp) TraceAt(2, "24-bit DIB with format 3 written as JPEG");
    if (codec::funcInitCompDesc(&d) < 0) return zarn::kBadParameter;
    tiff::Fd file(plat::OpenFileDescriptor(fileName ? fileName : "", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.fd < 0) return zarn::kBadFileName;
    Describe(d, "JPEG", info, 24, dpi, file.fd);
    const int r = CodeDib(d, file, info, 3 * static_cast<size_t>(info.width) + 32, [&](int y, uint8_t* row) {
      const uint8_t* src = pixels.data() + static_cast<size_t>(info.height - 1 - y) * info.stride;
      for (int x = 0; x < info.width; ++x) {
        row[3 * x] = src[3 * x + 2];
        row[3 * x + 1] = src[3 * x + 1];
        row[3 * x + 2] = src[3 * x];
      }
      return static_cast<const uint8_t*>(row);
    });
    TraceAt(2, "Done Copying Image & Compressing");
    return r;
  }
  if (bits != 4 && bits != 8) return zarn::kUnsupportedImageType;
  TraceAt(2, bits == 8 ? "Compressing 8 Bit Image" : "Compressing 4 Bit Data");
  if (readers) readers->fromGrayRows(pixels, info.width, info.height, info.stride, bits, 200, codeLine, codeLineRoom);
  uint8_t* dibPalette = dib.data() + info.headerSize;
  if (format == kFormatBmp) {
    // The BMP branch marks the DIB's first palette entry (its green byte in either entry layout), as it
    // always has.
    if (info.colors > 0) dibPalette[1] = 0x35;
    std::array<uint8_t, 4 * 256> bmpPalette{};
    if (!BmpPaletteOfDib(info, dibPalette, bmpPalette)) return zarn::kUnsupportedImageType;
    funcWriteDIBBMPImage(pixels.data(), bmpPalette.data(), fileName, info.width, info.height,
                         static_cast<int>(info.stride), bits, dpi, dpi);
    return ResultOfLength(FileLength(fileName));
  }
  if (codec::funcInitCompDesc(&d) < 0) return zarn::kBadParameter;
  tiff::Fd file(plat::OpenFileDescriptor(fileName ? fileName : "", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd < 0) return zarn::kBadFileName;
  Describe(d, TagOfFormat(format), info, 8, dpi, file.fd);
  d.restartOption = static_cast<uint16_t>(zarn::KelvoJpeg());
  // The codec's palette: red, green, blue triples from the DIB's blue, green, red entries (16 for 4 bits).
  std::array<uint8_t, 768> palette{};
  TraceAt(2, "Copying Palette");
  const int entries = std::min(info.colors, bits == 8 ? 256 : 16);
  const size_t entryBytes = info.coreHeader ? 3 : 4;
  for (int i = 0; i < entries; ++i) {
    const uint8_t* e = dibPalette + static_cast<size_t>(i) * entryBytes;
    palette[3 * i] = e[2];
    palette[3 * i + 1] = e[1];
    palette[3 * i + 2] = e[0];
  }
  TraceAt(2, "Done Copying Palette");
  d.palette = palette.data();
  const auto dibRow = [&](int y) {
    return pixels.data() + static_cast<size_t>(info.height - 1 - y) * info.stride;
  };
  if (bits == 8) {
    // 8-bit rows go to the codec straight from the DIB.
    TraceAt(2, "Copying Image & Compressing");
    const int r =
        CodeDib(d, file, info, 0, [&](int y, uint8_t*) { return static_cast<const uint8_t*>(dibRow(y)); });
    TraceAt(2, "Done Copying Image & Compressing");
    return r;
  }
  TraceAt(2, "Copying and Compressing Image");
  const int r = CodeDib(d, file, info, static_cast<size_t>(info.width) + 128, [&](int y, uint8_t* row) {
    const uint8_t* src = dibRow(y);
    for (int x = 0; x < info.width; ++x)
      row[x] = static_cast<uint8_t>((x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2]) & 0x0F);
    return static_cast<const uint8_t*>(row);
  });
  TraceAt(2, "Done Copying and Compressing Image");
  return r;
}

}  // namespace zc::imaging
