// Loading a 1-bit image into the working image at about 200 dpi: TIFF pages through the bilevel decoder
// and its view zoom, image records row by row with their own 3-to-2 and 6-to-5 reductions.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/ocr/ocr_state.h"
#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/view_transform.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/memory_target.h"
#include "imaging/tiff_read.h"
#include "platform/paths.h"

namespace analysis::ocr {
namespace {

constexpr size_t kTiffMargin = 8192;
constexpr size_t kScaledMargin = 65000;
constexpr int32_t kMinTiffRows = 160;
// An "MD:" reference without a size: the header parser still checks every field it reads against this.
constexpr size_t kUnsizedMemoryImage = size_t{1} << 30;

bool Near(int32_t r, int32_t centre) { return r >= centre - 10 && r <= centre + 10; }

// v + 16 with the low three bits cleared; nothing when the result would not fit 16 bits, which the
// working image's sizes are cut to.
bool Up8(int64_t v, int32_t* out) {
  if (v <= 0 || v + 16 > 0xFFFF) return false;
  *out = static_cast<int32_t>((v + 16) & 0xFFF8);
  return true;
}

struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Three source pixels b2 b1 b0 become b2 b0.
constexpr uint8_t kThreeToTwo[8] = {0, 1, 0, 1, 2, 3, 2, 3};
// Six source pixels become five.
constexpr uint8_t kSixToFive[64] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                    16, 17, 18, 19, 20, 21, 22, 23, 12, 13, 12, 13, 12, 13, 12, 15,
                                    16, 17, 18, 19, 20, 21, 22, 23, 24, 17, 26, 27, 28, 21, 28, 23,
                                    24, 25, 26, 27, 26, 27, 26, 27, 28, 29, 26, 27, 28, 29, 30, 31};

// Source row `s` (or rows s and s + 1 ORed), its last group padded with white, into `line`.
void SourceRow(const uint8_t* rows, size_t stride, int32_t s, bool pair, uint8_t* line) {
  std::memcpy(line, rows + static_cast<size_t>(s) * stride, stride);
  if (pair) {
    const uint8_t* next = rows + static_cast<size_t>(s + 1) * stride;
    for (size_t i = 0; i < stride; ++i) line[i] |= next[i];
  }
}

// 24 source pixels (3 bytes) give 16 working pixels (2 bytes).
void ReduceThreeToTwo(const uint8_t* src, size_t srcBytes, uint8_t* dst, size_t dstBytes) {
  for (size_t g = 0; 3 * g < srcBytes && 2 * g < dstBytes; ++g) {
    const uint32_t bits = (uint32_t{src[3 * g]} << 16) | (uint32_t{src[3 * g + 1]} << 8) | src[3 * g + 2];
    uint32_t out = 0;
    for (int k = 7; k >= 0; --k) out = (out << 2) | kThreeToTwo[(bits >> (3 * k)) & 7];
    dst[2 * g] = static_cast<uint8_t>(out >> 8);
    if (2 * g + 1 < dstBytes) dst[2 * g + 1] = static_cast<uint8_t>(out);
  }
}

// 48 source pixels (6 bytes) give 40 working pixels (5 bytes).
void ReduceSixToFive(const uint8_t* src, size_t srcBytes, uint8_t* dst, size_t dstBytes) {
  for (size_t g = 0; 6 * g < srcBytes && 5 * g < dstBytes; ++g) {
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits = (bits << 8) | src[6 * g + i];
    uint64_t out = 0;
    for (int k = 7; k >= 0; --k) out = (out << 5) | kSixToFive[(bits >> (6 * k)) & 63];
    for (size_t i = 0; i < 5 && 5 * g + i < dstBytes; ++i) dst[5 * g + i] = static_cast<uint8_t>(out >> (32 - 8 * i));
  }
}

}  // namespace

bool AllocateWorkImage(int32_t width, int32_t height, size_t margin) {
  WorkImage& w = OCRWorkImage;
  const int32_t rowBytes = (width + 7) / 8;
  const size_t bytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(height) + margin;
  auto* buffer = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (buffer == nullptr) return false;
  w.buffer = buffer;
  w.bytes = bytes;
  w.width = width;
  w.height = height;
  w.rowBytes = rowBytes;
  return true;
}

int funcOCRFreeImage() {
  std::free(OCRWorkImage.buffer);
  OCRWorkImage = WorkImage{};
  return 0;
}

int funcOCRLoadTiff(const char* name, int page, int option) {
  funcOCRFreeImage();
  if (name == nullptr) return 1;
  zc::codec::ImageView view{};
  FileCloser file;
  if (std::strncmp(name, "MD:", 3) == 0) {
    const auto target = zc::imaging::ParseMemoryTarget(name);
    if (!target || target->address == 0) return 1;
    const auto* data = reinterpret_cast<const uint8_t*>(target->address);
    const size_t size = target->bounded() ? target->size : kUnsizedMemoryImage;
    zc::imaging::TiffMemInfo info;
    if (zc::imaging::funcParseMemTIFFHeader(data, size, &info) > 0) return 1;
    if (info.stripOffset < 0 || info.stripBytes < 0 ||
        static_cast<uint64_t>(info.stripOffset) + static_cast<uint64_t>(info.stripBytes) > size) {
      return 1;
    }
    view.fileHandle = -1;
    view.width = info.width;
    view.length = info.height;
    view.stripOffset = target->address + static_cast<uintptr_t>(info.stripOffset);
    view.decoderMode = 1;  // the program's memory images are G4
    view.imageResX = info.xResolution;
    view.imageResY = info.yResolution;
    // A strip without a byte count would be read until the decoder stops; in a sized image it ends with
    // the image.
    uint64_t stripBytes = static_cast<uint64_t>(info.stripBytes);
    if (stripBytes == 0 && target->bounded()) stripBytes = size - static_cast<uint64_t>(info.stripOffset);
    if (stripBytes == 0 && target->bounded()) return 1;
    view.stripByteCount = static_cast<uint32_t>(std::min<uint64_t>(stripBytes, UINT32_MAX));
  } else {
    file.fd = plat::OpenFileDescriptor(name, O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return 1;
    if (zc::imaging::funcReadTIFFInfo(file.fd, &view, page) != 0) return 2;
  }

  const int32_t r = view.imageResY;
  const int64_t w = view.width, h = view.length;
  int32_t ww = 0, wh = 0, zoom = 2048;
  int32_t xRes = view.imageResX, yRes = view.imageResY;
  bool fits = false;
  if (Near(r, 200)) {
    fits = Up8(w, &ww) && Up8(h, &wh);
  } else if (Near(r, 240)) {
    fits = Up8(w * 5 / 6, &ww) && Up8(h * 5 / 6, &wh);
    zoom = 1706;
    xRes = yRes = 200;
  } else if (Near(r, 300)) {
    fits = Up8(w * 2 / 3, &ww) && Up8(h * 2 / 3, &wh);
    zoom = 1365;
    xRes = yRes = 200;
  }
  if (!fits || h < kMinTiffRows) return 3;
  if (!AllocateWorkImage(ww, wh, kTiffMargin)) return 4;
  OCRWorkImage.xResolution = xRes;
  OCRWorkImage.yResolution = yRes;

  view.windowWidth = ww;
  view.windowHeight = wh;
  view.zoomX = view.zoomY = zoom;
  view.panX = view.panY = 0;
  view.rotation = 0;
  view.optionFlags = zc::codec::kViewOptStart;
  if (file.fd >= 0) view.fileHandle = file.fd;
  int result = 0;
  WorkImage& img = OCRWorkImage;
  while ((result = zc::codec::funcFaxDecodeLines(&view)) < zc::codec::kFaxCannotStart) {
    if (result != zc::codec::kFaxStripReady) continue;
    zc::codec::ViewStripPlacement band{};
    band.rotation = option;
    zc::codec::funcViewGetState(&view, &band);
    const int32_t bytes = band.width / 8;
    const int32_t at = band.x / 8;
    // Each row lands inside the working image or not at all.
    if (band.x < 0 || bytes < 0 || at + bytes > img.rowBytes) continue;
    for (int32_t i = 0; i < band.height; ++i) {
      const int32_t y = band.y + i;
      if (y < 0 || y >= img.height) continue;
      std::memcpy(img.buffer + static_cast<size_t>(y) * img.rowBytes + at,
                  view.stripBuffer + static_cast<size_t>(i) * bytes, static_cast<size_t>(bytes));
    }
  }
  zc::codec::funcFaxDecodeFree(&view);
  // An error in the last 16 rows is accepted.
  if (result == zc::codec::kFaxAllDelivered && (view.errorCode == 0 || view.errorLine >= view.length - 16)) return 0;
  return 5;
}

int funcOCRLoadRaw(const uint8_t* record, size_t recordSize) {
  funcOCRFreeImage();
  if (record == nullptr || recordSize < zc::imaging::kRecordHeaderBytes) return 2;
  const zc::imaging::RecordHeader h = zc::imaging::ReadRecordHeader(record);
  if (h.bits != 1) return 2;
  // A negative side would make a negative row size.
  if (h.width < 0 || h.height < 0) return 3;
  const size_t stride = (static_cast<size_t>(h.width) + 7) / 8;
  const uint8_t* rows = record + zc::imaging::kRecordHeaderBytes;
  if (stride * static_cast<size_t>(h.height) > recordSize - zc::imaging::kRecordHeaderBytes) return 3;
  const int32_t r = h.dpi;

  if (Near(r, 200)) {
    if (!AllocateWorkImage(h.width, h.height, kTiffMargin)) return 4;
    OCRWorkImage.xResolution = OCRWorkImage.yResolution = r;
    if (stride > 0) std::memcpy(OCRWorkImage.buffer, rows, stride * static_cast<size_t>(h.height));
    return 0;
  }
  const bool three = Near(r, 300);
  if (!three && !Near(r, 240)) return 3;
  const int32_t ww = three ? (h.width * 2 / 3 + 7) & 0xFFF8 : (h.width * 5 / 6 + 7) & 0xFFF8;
  const int32_t wh = three ? (h.height * 2 / 3 + 7) & 0xFFF8 : (h.height * 5 / 6 + 7) & 0xFFF8;
  if (!AllocateWorkImage(ww, wh, kScaledMargin)) return 4;
  WorkImage& img = OCRWorkImage;
  img.xResolution = img.yResolution = 200;
  // The source row padded to whole groups (3 or 6 bytes) with white.
  uint8_t* line = static_cast<uint8_t*>(std::calloc(stride + 8, 1));
  if (line == nullptr) {
    funcOCRFreeImage();
    return 4;
  }
  int32_t s = 0;
  for (int32_t y = 0; s < h.height && y < wh; ++y) {
    const bool alone = three ? (s % 3 == 0) : (s % 6 < 4);
    const bool pair = !alone && s != h.height - 1;
    SourceRow(rows, stride, s, pair, line);
    uint8_t* dst = img.buffer + static_cast<size_t>(y) * img.rowBytes;
    if (three) ReduceThreeToTwo(line, stride, dst, static_cast<size_t>(img.rowBytes));
    else ReduceSixToFive(line, stride, dst, static_cast<size_t>(img.rowBytes));
    s += pair ? 2 : 1;
  }
  std::free(line);
  return 0;
}

}  // namespace analysis::ocr
