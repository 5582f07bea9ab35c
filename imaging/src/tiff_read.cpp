#include "imaging/tiff_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "codec/bilevel/view_transform.h"
#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/formats/tiff_ifd.h"
#include "imaging/mcu_callbacks.h"
#include "imaging_trace.h"
#include "tiff_file.h"
#include "platform/paths.h"

namespace zc::imaging {
namespace {

constexpr size_t kDirectoryBuffer = 2048;
constexpr uint16_t kMinEntries = 4;
constexpr int32_t kMaxCodecRows = 4096;

bool KnownOrder(uint16_t order) {
  return order == kTiffLittleEndian || order == kTiffBigEndian;
}

using tiff::FileSize;
using tiff::HeaderOrder;
using tiff::ReadAt;

int RotationOf(uint32_t orientation, int current) {
  switch (orientation) {
    case 1: return 0;
    case 6: return 1;
    case 3: return 2;
    case 8: return 3;
    default: return current;  // the mirrored orientations leave the rotation as it is
  }
}

void ClearReadFields(codec::ImageView* v) {
  v->stripOffset = 0;
  v->width = 0;
  v->length = 0;
  v->decoderMode = 0;
  v->fillOrder = 0;
  v->rotation = 0;
  v->stripByteCount = 0;
  v->lastRead = 0;
  v->inputPos = 0;
  v->finished = 0;
}


}  // namespace

uint16_t funcTiffGet16(const uint8_t* p, uint16_t order) {
  return KnownOrder(order) ? codec::fmt::tiffGet16(p, order) : 0;
}

uint32_t funcTiffGet32(const uint8_t* p, uint16_t order) {
  return KnownOrder(order) ? codec::fmt::tiffGet32(p, order) : 0;
}

uint32_t funcTiffGetValue(const uint8_t* p, uint16_t order, int type) {
  switch (type) {
    case 1: return p[0];
    case 3: return funcTiffGet16(p, order);
    case 2:
    case 4:
    case 5: return funcTiffGet32(p, order);
    default: return 0;
  }
}

namespace {

// `count` bytes at file offset `offset`: from the held bytes when they lie inside them, else from the file.
bool FetchAt(const TiffBuffer& b, uint32_t offset, uint8_t* out, size_t count) {
  const int64_t inBuffer = static_cast<int64_t>(offset) - b.fileOffset;
  if (inBuffer >= 0 && static_cast<uint64_t>(inBuffer) + count <= b.bytes) {
    std::memcpy(out, b.data + inBuffer, count);
    return true;
  }
  return ReadAt(b.file, offset, out, count) == count;
}

}  // namespace

uint32_t funcTiffGetLongAt(const TiffBuffer& b, uint32_t offset) {
  uint8_t bytes[4];
  return FetchAt(b, offset, bytes, sizeof bytes) ? funcTiffGet32(bytes, b.order) : 0;
}

uint32_t funcTiffGetRational(const TiffBuffer& b, uint32_t offset) {
  uint8_t bytes[8];
  if (!FetchAt(b, offset, bytes, sizeof bytes)) return 1;
  const uint32_t numerator = funcTiffGet32(bytes, b.order);
  const uint32_t denominator = funcTiffGet32(bytes + 4, b.order);
  return denominator == 0 ? 1 : numerator / denominator;
}

int funcReadTIFFInfo(int file, codec::ImageView* view, int page) {
  if (view == nullptr) return 1;
  ClearReadFields(view);
  std::vector<uint8_t> buffer(kDirectoryBuffer);
  const uint16_t order = HeaderOrder(buffer.data(), ReadAt(file, 0, buffer.data(), buffer.size()));
  if (order == 0) return 1;
  if (page < 1) return 0;

  tiff::Directory d;
  if (!tiff::FindPage(file, order, page, kMinEntries, 0xFFFF, kDirectoryBuffer, &d)) return 1;
  const int count = d.count;
  const TiffBuffer held{d.bytes.data(), d.bytes.size(), d.offset, file, order};
  uint32_t compression = 0;
  uint32_t t4Options = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = d.Entry(i);
    const uint16_t tag = funcTiffGet16(e, order);
    const uint16_t type = funcTiffGet16(e + 2, order);
    const uint32_t n = funcTiffGet32(e + 4, order);
    const uint32_t value = n == 1 ? funcTiffGetValue(e + 8, order, type) : funcTiffGet32(e + 8, order);
    switch (tag) {
      case 256: view->width = static_cast<int32_t>(value); break;
      case 257: view->length = static_cast<int32_t>(value); break;
      case 258:
        if (value != 1) return 1;
        break;
      case 259:
        compression = value;
        if (value == 1) view->decoderMode = 3;
        else if (value == 3) view->decoderMode = 0;
        else if (value == 4) view->decoderMode = 1;
        else if (value == 32773) view->decoderMode = 10;
        else return 1;
        break;
      case 266: view->fillOrder = value == 2 ? 1 : 0; break;
      case 273:
        if (n != 1) return 1;
        view->stripOffset = value;
        break;
      case 274: view->rotation = RotationOf(value, view->rotation); break;
      case 279:
        if (n != 1) return 1;
        view->stripByteCount = value;
        break;
      case 282: view->imageResX = static_cast<int32_t>(funcTiffGetRational(held, value)); break;
      case 283: view->imageResY = static_cast<int32_t>(funcTiffGetRational(held, value)); break;
      case 292: t4Options = value; break;
      default: break;
    }
  }
  // Group 3 pages are two-dimensional when bit 0 is set; bit 2 only says fill bits pad the lines, which
  // the one- and two-dimensional decoders skip anyway.
  if (compression == 3) view->decoderMode = (t4Options & 1) != 0 ? 2 : 0;
  return 0;
}

int funcReadJPEGInfo(int file, codec::ImageView* view) {
  if (view == nullptr) return 3;
  static thread_local std::array<uint8_t, 768> palette{};
  codec::ImgDecompDesc d;
  if (codec::funcInitDecompDesc(&d) < 0) {
    TraceAt(1, "%s", codec::funcImgErrorText(codec::funcGetImgError()));
    return 2;
  }
  if (::lseek(file, 0, SEEK_SET) != 0) return 3;
  d.handle = file;
  d.mcuAlloc = cbMcuAlloc;
  d.mcuGetPtr = cbMcuGetPtr;
  d.mcuFree = cbMcuFree;
  d.palette = palette.data();
  if (codec::funcInitDecomp(&d) < 0) return 3;
  view->width = d.width;
  view->length = std::min<int32_t>(d.height, kMaxCodecRows);
  const std::string tag(d.tag, strnlen(d.tag, sizeof d.tag));
  // The codec names bitmaps "BMP"; its first two letters are the file's own signature.
  if (tag.starts_with("BM")) view->decoderMode = 1024;
  else if (tag == "GIF") view->decoderMode = 1025;
  else if (tag == "PCX") view->decoderMode = 1026;
  else if (tag == "JPEG") view->decoderMode = d.bitsPerPixel == 24 ? 1027 : 1028;
  else view->decoderMode = 1029;
  view->imageResX = 100;
  view->imageResY = 100;
  view->stripByteCount = static_cast<uint32_t>(std::min<int64_t>(FileSize(file), UINT32_MAX));
  return 0;
}

int funcOpenImageFile(void* /*window*/, const char* fileName, codec::ImageView* view, int page) {
  if (fileName == nullptr || view == nullptr) return 1;
  const int file = plat::OpenFileDescriptor(fileName, O_RDONLY | O_CLOEXEC);
  if (file < 0) return 1;
  view->decoderMode = 3;
  view->fillOrder = 0;
  view->renderFlags = 3;
  view->rotation = 0;
  view->fileHandle = file;
  bool read = funcReadTIFFInfo(file, view, page) == 0;
  if (!read && page == 1) read = funcReadJPEGInfo(file, view) == 0;
  ::close(file);
  view->fileHandle = -1;
  if (!read) return 1;
  codec::funcViewFitImage(view);
  return 0;
}

int funcGetTIFFPageCount(const char* fileName) {
  if (fileName == nullptr) return -105;
  const int file = plat::OpenFileDescriptor(fileName, O_RDONLY | O_CLOEXEC);
  if (file < 0) return -105;
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(kDirectoryBuffer);
  } catch (const std::bad_alloc&) {
    ::close(file);
    return -106;
  }
  const uint16_t order = HeaderOrder(buffer.data(), ReadAt(file, 0, buffer.data(), buffer.size()));
  if (order == 0) {
    ::close(file);
    return 1;
  }
  int pages = 0;
  std::set<uint32_t> visited;
  tiff::Directory d;
  for (uint32_t offset = funcTiffGet32(buffer.data() + 4, order); offset != 0 && visited.insert(offset).second;
       offset = d.next) {
    if (!tiff::ReadDirectory(file, offset, order, kMinEntries, 0xFFFF, kDirectoryBuffer, &d)) break;
    ++pages;
    if (!d.hasNext) break;
  }
  ::close(file);
  return pages;
}

}  // namespace zc::imaging
