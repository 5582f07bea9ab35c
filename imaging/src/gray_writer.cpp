// Gray and colour records through the codec's compression descriptors: JPEG ("JPEGG" gray, "JPEG" colour)
// or BMP, to an open file or an "MD:" memory target, with JFIF density in dots per inch.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "imaging/image_files.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/mcu_callbacks.h"
#include "imaging/memory_target.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr int kBandRows = 16;

const uint8_t* GrayPalette() {
  static const std::array<uint8_t, 768> palette = [] {
    std::array<uint8_t, 768> p{};
    for (int i = 0; i < 256; ++i) p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = static_cast<uint8_t>(i);
    return p;
  }();
  return palette.data();
}

// The 4-bit levels 0..15 as the record BMP writers show them: gray 17 n.
const uint8_t* FourBitPalette() {
  static const std::array<uint8_t, 768> palette = [] {
    std::array<uint8_t, 768> p{};
    for (int i = 0; i < 16; ++i) p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = static_cast<uint8_t>(17 * i);
    return p;
  }();
  return palette.data();
}

void SetTag(codec::ImgCompDesc& d, const char* tag) {
  std::memset(d.tag, 0, sizeof d.tag);
  std::memcpy(d.tag, tag, std::min(std::strlen(tag), sizeof d.tag - 1));
}

// Codes the record's rows in bands of `bandRows`: 4-bit rows are unpacked level n to n x `fourBitScale`,
// exactly width bytes a row. 0, or -232 when the codec refuses a band.
int CodeBands(codec::ImgCompDesc& d, const ConstRecordView& v, int bandRows, int fourBitScale) {
  const RecordHeader& h = v.header;
  const size_t outRow = static_cast<size_t>(h.width) * (h.bits == 24 ? 3 : 1);
  std::vector<uint8_t> band;
  try {
    band.assign(outRow * static_cast<size_t>(bandRows) + 2048, 0);
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  for (int y = 0; y < h.height; y += bandRows) {
    const int rows = std::min(bandRows, h.height - y);
    for (int r = 0; r < rows; ++r) {
      const uint8_t* src = v.Row(y + r);
      uint8_t* dst = band.data() + outRow * static_cast<size_t>(r);
      if (h.bits == 4) {
        for (int x = 0; x < h.width; ++x)
          dst[x] = static_cast<uint8_t>(((x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2]) & 0x0F) * fourBitScale);
      } else {
        std::memcpy(dst, src, outRow);
      }
    }
    if (d.lineWriter(0, y, h.width, y + rows, band.data()) != 0) return zarn::kCompressionError;
  }
  return 0;
}

// What a descriptor codes a record as: JPEG (gray for 4 and 8 bits, colour for 24), the codec's BMP at 8
// bits (4-bit levels scaled by 16) or, for memory targets, the codec's BMP at the record's own depth.
enum class Coding { kJpeg, kBmp8, kBmpOwnDepth };

void Describe(codec::ImgCompDesc& d, const RecordHeader& h, Coding coding) {
  if (coding == Coding::kBmpOwnDepth) {
    // The codec's BMP start takes only palette-model descriptors; at 24 bits it writes no palette, so the
    // gray one given there is never used and the pixels stay red, green, blue.
    SetTag(d, "BMP");
    d.bitsPerPixel = static_cast<uint16_t>(h.bits);
    d.colorModel = 1;
    d.palette = h.bits == 4 ? FourBitPalette() : GrayPalette();
  } else if (coding == Coding::kBmp8) {
    SetTag(d, "BMP");
    d.bitsPerPixel = static_cast<uint16_t>(h.bits == 24 ? 24 : 8);
    d.colorModel = h.bits == 24 ? 0 : 1;
    d.palette = h.bits == 24 ? nullptr : GrayPalette();
  } else if (h.bits == 24) {
    SetTag(d, "JPEG");
    d.bitsPerPixel = 24;
    d.colorModel = 0;
  } else {
    SetTag(d, "JPEGG");
    d.bitsPerPixel = 8;
    d.colorModel = 1;
    d.palette = GrayPalette();
  }
  d.quality = static_cast<uint16_t>(zarn::funcTableGetParam(110));
  d.fastTransform = 1;
  d.jfifFlag = 1;
  d.densityUnits = 1;
  d.densityX = d.densityY = static_cast<uint16_t>(h.dpi);
  if (h.bits < 24) d.restartOption = static_cast<uint16_t>(zarn::KelvoJpeg());
  d.width = static_cast<uint16_t>(h.width);
  d.height = static_cast<uint16_t>(h.height);
  d.rowsPerBand = kBandRows;
  d.mcuAlloc = cbMcuAlloc;
  d.mcuGetPtr = cbMcuGetPtr;
  d.mcuFree = cbMcuFree;
}

// Starts, codes and ends one compression; 1 (or the end's result) on success. A refused band still ends
// the compression before -232 is returned: the codec frees its coder only in its end call, so leaving it
// open would leak the coder on every refused row.
int Compress(codec::ImgCompDesc& d, const ConstRecordView& v, int bandRows, int fourBitScale = 16) {
  if (codec::funcInitComp(&d) < 0) return zarn::kCompressionError;
  const int coded = CodeBands(d, v, bandRows, fourBitScale);
  const int ended = codec::funcEndComp(&d);
  if (coded != 0) return coded;
  return ended < 0 ? zarn::kCompressionError : ended;
}

}  // namespace

int funcCompressImageGray(int file, int mode, std::span<const uint8_t> record) {
  if (mode == 3) return funcWriteBMPImage(file, record);
  const auto v = CheckRecord(record);
  if (!v) return zarn::kBadParameter552;
  const RecordHeader& h = v->header;
  TraceAt(1, "funcCompressImageGray(%d,%d,%d,%d)", h.width, h.height, h.dpi, h.bits);
  if (h.bits != 4 && h.bits != 8 && h.bits != 24) return zarn::kUnsupportedImageType;
  codec::ImgCompDesc d;
  if (codec::funcInitCompDesc(&d) < 0) return zarn::kBadParameter;
  // Gray JPEG for mode 4, colour JPEG for 24 bits; any other request of a gray record is the codec's BMP.
  Describe(d, h, h.bits != 24 && mode != 4 ? Coding::kBmp8 : Coding::kJpeg);
  d.handle = file;
  const int r = Compress(d, *v, kBandRows);
  return r < 0 ? r : 1;
}

int funcWriteImageToMemJPEG(const char* name, std::span<const uint8_t> record, int format) {
  const auto v = CheckRecord(record);
  if (!v || (v->header.bits != 4 && v->header.bits != 8 && v->header.bits != 24)) return zarn::kBadParameter552;
  const std::optional<MemoryTarget> target = ParseMemoryTarget(name);
  if (!target || target->address == 0) return zarn::kBadParameter552;
  codec::ImgCompDesc d;
  if (codec::funcInitCompDesc(&d) < 0) return zarn::kAllocError;
  // A BMP keeps the record's depth: 4-bit rows go to the codec as levels 0..15 under a 17 n gray palette,
  // the codec's 4-bit BMP packing their low nibbles (levels scaled by 16 would all pack to 0).
  const bool bmp = format == 3;
  Describe(d, v->header, bmp ? Coding::kBmpOwnDepth : Coding::kJpeg);
  d.rowsPerBand = 1;
  d.handle = -1;
  d.memAddress = reinterpret_cast<uint8_t*>(target->address);
  // The codec is told how much room the target has: its size when given, else as much as ever was; for a
  // BMP at least the file itself, whose row padding and palette can pass the image size plus 4096.
  const int bits = v->header.bits;
  const int64_t pixels = static_cast<int64_t>(v->header.width) * v->header.height;
  int64_t room = 1048576;
  if (bmp) {
    const int64_t bmpStride = (static_cast<int64_t>(v->header.width) * bits + 31) / 32 * 4;
    const int64_t bmpFile = 54 + (bits < 24 ? int64_t{4} << bits : 0) + bmpStride * v->header.height;
    room = std::max((bits == 4 ? pixels / 2 : bits == 8 ? pixels : 3 * pixels) + 4096, bmpFile);
  }
  d.memSize = target->bounded() ? DescriptorMemorySize(*target) : static_cast<int32_t>(std::min<int64_t>(room, INT32_MAX));
  return Compress(d, *v, 1, bmp ? 1 : 16);
}

int funcCutFileName(const char* source, char* target, size_t targetSize) {
  if (target != nullptr && targetSize > 0) target[0] = 0;
  if (source == nullptr || target == nullptr || targetSize == 0) return 0;
  const std::string name = funcApplyFileNameRule(source);
  // With terminated names off the whole name is kept; one that does not fit is refused, not cut.
  if (name.empty() && source[0] != '\0') return zarn::kOpenFileError;
  if (name.size() >= targetSize) return zarn::kOpenFileError;
  std::memcpy(target, name.c_str(), name.size() + 1);
  return 1;
}

int ZARNCompressImageGray(const char* name, std::span<const uint8_t> record, int format) {
  TraceAt(1, "ZARNCompressImageGray(%s,%d)", name ? name : "(null)", format);
  if (name == nullptr) return zarn::kBadFileName;
  if (std::strncmp(name, "MD:", 3) == 0) return funcWriteImageToMemJPEG(name, record, format);
  char cut[256];
  if (funcCutFileName(name, cut, sizeof cut) != 1) return zarn::kOpenFileError;
  tiff::Fd file(plat::OpenFileDescriptor(cut, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd < 0) return zarn::kOpenFileError;
  if (record.size() < kRecordHeaderBytes) return zarn::kUnsupportedImageType;
  const RecordHeader h = ReadRecordHeader(record.data());
  if (h.width < 1 || h.height < 1 || (h.bits != 8 && h.bits != 4 && h.bits != 24)) return zarn::kUnsupportedImageType;
  return funcCompressImageGray(file.fd, format, record);
}

}  // namespace zc::imaging
