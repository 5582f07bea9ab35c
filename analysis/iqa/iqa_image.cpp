// The IQA image, its loaders, the clean-up passes, the result writer and the standard size table.
#include "analysis/iqa/iqa_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "analysis/services.h"
#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/fax_encoder.h"
#include "codec/bilevel/image_view.h"
#include "codec/bilevel/view_transform.h"
#include "imaging/checksum.h"
#include "imaging/gray_tables.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/memory_target.h"
#include "imaging/packed_dib.h"
#include "imaging/tiff_read.h"
#include "platform/paths.h"

namespace analysis::iqa {
namespace detail {
IQAImage gImage;
}
namespace codec = ::zc::codec;
namespace imaging = ::zc::imaging;
namespace {

IQAStandardSizeTable gSizes;
IQAImage& gImage = detail::gImage;

constexpr int kGrayThresholdParam = 118;  // "MICR Gray Threshold"
constexpr int kDibBlackBelow = 80;
constexpr size_t kMemHeaderScan = 4096;  // a memory TIFF's header lies in its first bytes

void VLog(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  CurrentServices().funcLogMessage(text);
}

// 200, 240 or 300 dpi within 10.
bool AcceptedDpi(int dpi) {
  // The resolution is the file's: compare in 64 bits so that no value of it overflows.
  const int64_t d = dpi;
  return std::abs(d - 200) <= 10 || std::abs(d - 240) <= 10 || std::abs(d - 300) <= 10;
}

bool SideUsable(int64_t side) {
  return side >= 1 && side <= kMaxSide;
}

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

}  // namespace

bool TraceOn(int level) {
  return CurrentServices().iApiTraceLevel() >= level;
}
void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VLog(format, args);
  va_end(args);
}
void LogAt(int level, const char* format, ...) {
  if (!TraceOn(level)) return;
  va_list args;
  va_start(args, format);
  VLog(format, args);
  va_end(args);
}
void LocalLog(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  CurrentServices().funcWriteLocalApiLog(text);
}
int32_t Param(int32_t id) {
  return CurrentServices().ZARNGetParam(id);
}

IQAStandardSizeTable& StandardSizes() {
  return gSizes;
}

void FreeImage() {
  std::vector<uint8_t>().swap(gImage.pixels);
}

bool AllocateImage(int64_t width, int64_t height) {
  FreeImage();
  if (!SideUsable(width) || !SideUsable(height)) return false;
  const int64_t rounded = (width + 7) & ~int64_t{7};
  const size_t rowBytes = static_cast<size_t>(rounded / 8);
  try {
    // The whole block is zeroed: the slack beyond the cleared part is never read as pixels.
    gImage.pixels.assign(rowBytes * static_cast<size_t>(height) + kPixelSlack, 0);
  } catch (const std::bad_alloc&) {
    FreeImage();
    return false;
  }
  gImage.width = static_cast<int32_t>(rounded);
  gImage.height = static_cast<int32_t>(height);
  gImage.rowBytes = static_cast<int32_t>(rowBytes);
  return true;
}

int LoadIQAMemory(const char* name, int page) {
  if (name == nullptr) name = "";
  LogAt(1, "LoadIQAMemory(%s,%d)", name, page);
  gImage.compressedSize = -1;
  FreeImage();
  codec::ImageView view{};
  Fd file;
  if (std::strncmp(name, "MD:", 3) == 0) {
    const auto target = imaging::ParseMemoryTarget(name);
    imaging::TiffMemInfo info{};
    const size_t size = target && target->bounded() ? target->size : kMemHeaderScan;
    if (!target || target->address == 0 ||
        imaging::funcParseMemTIFFHeader(reinterpret_cast<const uint8_t*>(target->address), size, &info) !=
            0 ||
        info.stripOffset < 0 || info.stripBytes < 0 ||
        (target->bounded() &&
         static_cast<uint64_t>(info.stripOffset) + static_cast<uint64_t>(info.stripBytes) > target->size)) {
      Log("ReadMultipleTiffHeaderMem Error");
      return 1;
    }
    // Memory images are the program's own G4 pages: compression and depth are not examined.
    view.fileHandle = -1;
    view.stripOffset = target->address + static_cast<uint32_t>(info.stripOffset);
    view.width = info.width;
    view.length = info.height;
    view.imageResX = info.xResolution;
    view.imageResY = info.yResolution;
    view.decoderMode = 1;
    // A strip without a byte count would be read until the decoder stops; in a sized image it ends with
    // the image.
    uint64_t stripBytes = static_cast<uint64_t>(info.stripBytes);
    if (stripBytes == 0 && target->bounded())
      stripBytes = target->size - static_cast<uint64_t>(info.stripOffset);
    if (stripBytes == 0 && target->bounded()) {
      Log("ReadMultipleTiffHeaderMem Error");
      return 1;
    }
    view.stripByteCount = static_cast<uint32_t>(std::min<uint64_t>(stripBytes, UINT32_MAX));
  } else {
    file.fd = plat::OpenFileDescriptor(name, O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) {
      Log("Open Error");
      return 1;
    }
    if (imaging::funcReadTIFFInfo(file.fd, &view, page) != 0) {
      Log("ReadTiffHeader Error");
      return 2;
    }
  }
  const int64_t length = view.length;
  if (!AcceptedDpi(view.imageResY) || length < 160 || !SideUsable(view.width) || !SideUsable(length)) {
    Log("Bad DPI or no Scanner");
    return 3;
  }
  const int64_t roundedHeight = (length + 7) & ~int64_t{7};
  if (!AllocateImage(view.width, roundedHeight)) {
    Log("Memory Error");
    return 4;
  }
  // A resolution is a 16-bit quantity in the records the image is written to; keep the products of the
  // tests in range whatever the file says.
  gImage.xDpi = std::clamp(view.imageResX, 0, 65535);
  gImage.yDpi = view.imageResY;

  view.fileHandle = file.fd;
  view.windowWidth = gImage.width;
  view.windowHeight = gImage.height;
  view.zoomX = view.zoomY = 2048;
  view.panX = view.panY = 0;
  view.optionFlags = codec::kViewOptStart;
  view.rotation = 0;
  int status = 0;
  const size_t rowBytes = static_cast<size_t>(gImage.rowBytes);
  while ((status = codec::funcFaxDecodeLines(&view)) < 8) {
    if (status != codec::kFaxStripReady) continue;
    codec::ViewStripPlacement p{};
    codec::funcViewGetState(&view, &p);
    const size_t bandBytes = static_cast<size_t>(std::max(p.width, 0)) / 8;
    const size_t at = static_cast<size_t>(std::max(p.x, 0)) / 8;
    if (at >= rowBytes) continue;
    const size_t n = std::min(bandBytes, rowBytes - at);
    for (int i = 0; i < p.height; ++i) {
      const int row = p.y + i;
      if (row < 0 || row >= gImage.height) continue;
      std::memcpy(gImage.Row(row) + at, view.stripBuffer + static_cast<size_t>(i) * bandBytes, n);
    }
  }
  file.Close();
  gImage.compressedSize = static_cast<int32_t>(std::min<uint32_t>(view.stripByteCount, INT32_MAX));
  if (status == codec::kFaxAllDelivered && (view.errorCode == 0 || view.errorLine + 16 >= length)) return 0;
  Log("Image Error");
  return 5;
}

int LoadIQAMemoryFromMem(std::span<const uint8_t> record) {
  LogAt(1, "LoadIQAMemoryFromMem");
  gImage.compressedSize = -1;
  FreeImage();
  const auto view = imaging::CheckRecord(record);
  if (!view) return 3;
  const imaging::RecordHeader& h = view->header;
  if (!AcceptedDpi(h.dpi) || h.height < 160 || !SideUsable(h.width)) return 3;
  if (!AllocateImage(h.width, h.height)) return 4;
  gImage.xDpi = gImage.yDpi = h.dpi;
  const size_t rowBytes = static_cast<size_t>(gImage.rowBytes);
  if (h.bits == 1) {
    for (int y = 0; y < h.height; ++y)
      std::memcpy(gImage.Row(y), view->Row(y), std::min(rowBytes, view->rowBytes));
  } else if (h.bits == 8 || h.bits == 4) {
    const int t = Param(kGrayThresholdParam);
    for (int y = 0; y < h.height; ++y) {
      const uint8_t* src = view->Row(y);
      uint8_t* dst = gImage.Row(y);
      for (int x = 0; x < h.width; ++x) {
        const int level = h.bits == 8 ? src[x] : (x & 1) == 0 ? src[x / 2] >> 4 : src[x / 2] & 0x0F;
        const int limit = h.bits == 8 ? t : t / 16;
        if (level < limit) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  }
  return 0;
}

int IQAConvDIBToBW(std::span<const uint8_t> dib) {
  FreeImage();
  imaging::PackedDibInfo info{};
  if (imaging::ReadPackedDib(dib, &info) != 0 || !SideUsable(info.width) || !SideUsable(info.height)) {
    return kNoDibPixels;
  }
  if (!AllocateImage(info.width, info.height)) return 4;
  gImage.xDpi = gImage.yDpi = 200;
  const auto& lum = imaging::GetByteGrayTables();
  for (int r = 0; r < info.height; ++r) {
    const uint8_t* src =
        dib.data() + info.pixelOffset + static_cast<size_t>(info.height - 1 - r) * info.stride;
    uint8_t* dst = gImage.Row(r);
    uint8_t acc = 0;
    // A byte is stored after each complete group of eight pixels: a last partial group stays white.
    for (int x = 0; x < info.width; ++x) {
      bool black = false;
      switch (info.bitCount) {
        case 8:
          black = src[x] < kDibBlackBelow;
          break;
        case 4:
          black = ((x & 1) == 0 ? (src[x / 2] & 0xF0) : (src[x / 2] & 0x0F) * 16) < kDibBlackBelow;
          break;
        case 24: {
          const uint8_t* p = src + 3 * static_cast<size_t>(x);
          black = lum.Gray(p[2], p[1], p[0]) <= kDibBlackBelow;
          break;
        }
        default:
          break;
      }
      acc = static_cast<uint8_t>((acc << 1) | (black ? 1 : 0));
      if ((x & 7) == 7) {
        dst[x >> 3] = acc;
        acc = 0;
      }
    }
  }
  return 0;
}

int IQAWriteResultImage(std::span<uint8_t> record, const char* name, int update, bool* written) {
  if (written != nullptr) *written = false;
  if (!gImage.held()) return 1;
  const size_t pixelBytes = static_cast<size_t>(gImage.rowBytes) * static_cast<size_t>(gImage.height);
  if (!record.empty()) {
    IQASmoothImage();
    auto out = imaging::StartRecord(record, {gImage.width, gImage.height, 1, gImage.xDpi});
    if (out) std::memcpy(out->pixels, gImage.pixels.data(), pixelBytes);
  }
  if (update != 0 && name != nullptr && name[0] != '\0') {
    IQASmoothImage();
    codec::FaxEncodeCtx ctx{};
    ctx.mode = 1;
    ctx.width = gImage.width;
    ctx.resX = gImage.xDpi;
    ctx.resY = gImage.yDpi;
    ctx.fillOrder = 0;
    ctx.k = 4;
    std::snprintf(ctx.outputName, sizeof ctx.outputName, "%s", name);
    ctx.outputStart = imaging::kTiffG4DataOffset;
    if (codec::funcFaxEncodeOpen(&ctx) == codec::kFaxEncOk) {
      for (int y = 0; y < gImage.height; ++y) codec::funcFaxEncodeLine(&ctx, gImage.Row(y));
      const int closed = codec::funcFaxEncodeClose(&ctx);
      gImage.compressedSize = static_cast<int32_t>(std::min<uint32_t>(ctx.bytesDelivered, INT32_MAX));
      const int32_t crc = imaging::funcCrc16(gImage.pixels.data(), pixelBytes, 0);
      const int header = imaging::funcWriteTIFFHeader(ctx, static_cast<uint16_t>(crc));
      if (ctx.fileHandle >= 0) ::close(ctx.fileHandle);
      if (written != nullptr) *written = closed == 0 && header == 1;
    } else {
      codec::funcFaxEncodeFreeBuffers(&ctx);
    }
    if (written != nullptr && !*written) Log("IQA result image %s not written", name);
  }
  FreeImage();
  return 0;
}

int IQACleanBorders(int mode) {
  if (!gImage.held()) return 1;
  IQAImage& im = gImage;
  const size_t rowBytes = static_cast<size_t>(im.rowBytes);
  const size_t side = std::min<size_t>(5, rowBytes);
  if (mode == 1) {
    // Only bytes inside each row are counted, however narrow the image.
    int64_t black = 0;
    for (int y = 0; y < im.height; ++y) {
      const uint8_t* row = im.Row(y);
      for (size_t i = 0; i < side; ++i)
        black += __builtin_popcount(row[i]) + __builtin_popcount(row[rowBytes - 1 - i]);
    }
    if (black < int64_t{40} * im.height) return 0;
  }
  if (im.width < 100 || im.height < 100) return 2;
  for (int y = 0; y < im.height; ++y) {
    uint8_t* row = im.Row(y);
    if (mode == 0 && (y < 40 || y > im.height - 25)) {
      std::memset(row, 0, rowBytes);
    } else {
      std::memset(row, 0, side);
      std::memset(row + rowBytes - side, 0, side);
    }
  }
  return 0;
}

void IQASmoothImage() {
  if (!gImage.held()) return;
  const int w = gImage.width, h = gImage.height;
  auto P = IQAGetPixel;
  for (int r = 0; r < h; ++r) {
    const uint8_t* row = gImage.Row(r);
    const uint8_t* above = r > 0 ? gImage.Row(r - 1) : nullptr;
    const uint8_t* below = r + 1 < h ? gImage.Row(r + 1) : nullptr;
    for (int c = 0; c < w; ++c) {
      // Skip white bytes whose neighbourhood is white: none of the rules can change them.
      if ((c & 7) == 0) {
        const int b = c >> 3;
        const bool quiet = row[b] == 0 && (above == nullptr || above[b] == 0) &&
                           (below == nullptr || below[b] == 0) && (b == 0 || (row[b - 1] & 1) == 0) &&
                           (b + 1 >= gImage.rowBytes || (row[b + 1] & 0x80) == 0);
        if (quiet) {
          c += 7;
          continue;
        }
      }
      const int up = P(c, r - 1), left = P(c - 1, r), right = P(c + 1, r), down = P(c, r + 1);
      int p = P(c, r);
      const int n = up + left + right + down;
      if (p == 0 && n >= 3) {
        IQASetPixel(c, r);
        p = 1;
      } else if (p == 1 && n == 0) {
        IQAClearPixel(c, r);
        p = 0;
      }
      if (p == 0) continue;
      const bool leftBlock = P(c - 1, r - 1) && P(c - 1, r) && P(c - 1, r + 1) && P(c - 2, r - 1) &&
                             P(c - 2, r) && P(c - 2, r + 1) && !P(c, r - 1) && !P(c, r + 1) &&
                             !P(c + 1, r - 1) && !P(c + 1, r) && !P(c + 1, r + 1);
      const bool rightBlock = P(c + 1, r - 1) && P(c + 1, r) && P(c + 1, r + 1) && P(c + 2, r - 1) &&
                              P(c + 2, r) && P(c + 2, r + 1) && !P(c, r - 1) && !P(c, r + 1) &&
                              !P(c - 1, r - 1) && !P(c - 1, r) && !P(c - 1, r + 1);
      const bool belowBlock = P(c - 1, r + 1) && P(c, r + 1) && P(c + 1, r + 1) && P(c - 1, r + 2) &&
                              P(c, r + 2) && P(c + 1, r + 2) && !P(c - 1, r) && !P(c + 1, r) &&
                              !P(c - 1, r - 1) && !P(c, r - 1) && !P(c + 1, r - 1);
      const bool aboveBlock = P(c - 1, r - 1) && P(c, r - 1) && P(c + 1, r - 1) && P(c - 1, r - 2) &&
                              P(c, r - 2) && P(c + 1, r - 2) && !P(c - 1, r) && !P(c + 1, r) &&
                              !P(c - 1, r + 1) && !P(c, r + 1) && !P(c + 1, r + 1);
      if (leftBlock || rightBlock || belowBlock || aboveBlock) IQAClearPixel(c, r);
    }
  }
}

namespace {

struct FileSize {
  int width = 0;
  int height = 0;
  int xDpi = 0;
};

bool ReadFileSize(const char* name, FileSize* out) {
  Fd file;
  file.fd = plat::OpenFileDescriptor(name, O_RDONLY | O_CLOEXEC);
  if (file.fd < 0) return false;
  codec::ImageView view{};
  if (imaging::funcReadTIFFInfo(file.fd, &view, 1) != 0) {
    view = codec::ImageView{};
    if (imaging::funcReadJPEGInfo(file.fd, &view) != 0) return false;
  }
  *out = {view.width, view.length, view.imageResX};
  return true;
}

int CompareSides(int64_t wa, int64_t ha, int64_t wb, int64_t hb, int64_t tolerance) {
  tolerance = std::max<int64_t>(tolerance, 10);
  if (std::llabs(wa - wb) > tolerance) return 1;
  if (std::llabs(ha - hb) > tolerance) return 2;
  return 0;
}

}  // namespace

int IQACompareImageSizes(std::span<const uint8_t> recordA, const char* nameA,
                         std::span<const uint8_t> recordB, const char* nameB, int tenths) {
  if (!recordA.empty() && !recordB.empty()) {
    const auto a = imaging::CheckRecord(recordA);
    const auto b = imaging::CheckRecord(recordB);
    if (!a || !b) return kBadArguments;
    return CompareSides(a->header.width, a->header.height, b->header.width, b->header.height,
                        int64_t{a->header.dpi} * tenths / 10);
  }
  if (nameA == nullptr || nameA[0] == '\0' || nameB == nullptr || nameB[0] == '\0') return kBadArguments;
  FileSize a, b;
  if (!ReadFileSize(nameA, &a) || !ReadFileSize(nameB, &b)) return kBadArguments;
  return CompareSides(a.width, a.height, b.width, b.height, int64_t{tenths} * a.xDpi / 10);
}

int SetStandardCheckSizes(int count, int index, int width, int height, int tolerance) {
  gSizes.tolerance = tolerance;
  gSizes.count = 0;
  LogAt(1, "SetStandardCheckSizes");
  if (count < 0 || count > 32 || index < 0 || index > 31) return kBadArguments;
  gSizes.entries[index] = {width, height};
  gSizes.count = count;
  return 0;
}

int SetStandardCheckSizesAll(int count, const int32_t* widths, const int32_t* heights, int tolerance) {
  gSizes.tolerance = tolerance;
  gSizes.count = 0;
  if (count < 1 || count > 32 || widths == nullptr || heights == nullptr) return kBadArguments;
  for (int i = 0; i < count; ++i) gSizes.entries[i] = {widths[i], heights[i]};
  gSizes.count = count;
  return 0;
}

}  // namespace analysis::iqa
