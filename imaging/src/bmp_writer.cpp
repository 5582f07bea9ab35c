// Records and DIBs as BMP files: the 54-byte header and palette written field by field, rows bottom-up and
// padded to four bytes, 24-bit pixels in blue, green, red order.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging_trace.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr size_t kBmpHeader = 54;
constexpr size_t kFlushAt = 8192;


size_t Stride(size_t rowBytes) {
  return (rowBytes + 3) / 4 * 4;
}

// The 54-byte BmpFileHeader of a bottom-up BMP, then room for the palette of 2^bits entries below 24 bits.
std::vector<uint8_t> BmpFileHeader(int width, int height, int bits, size_t stride, int xDpi, int yDpi) {
  const size_t paletteBytes = bits < 24 ? 4u << bits : 0;
  std::vector<uint8_t> h(kBmpHeader + paletteBytes, 0);
  const uint32_t dataOffset = static_cast<uint32_t>(kBmpHeader + paletteBytes);
  h[0] = 'B';
  h[1] = 'M';
  plat::bytes::PutLe32(&h[2], static_cast<uint32_t>(dataOffset + stride * static_cast<size_t>(height)));
  plat::bytes::PutLe32(&h[10], dataOffset);
  plat::bytes::PutLe32(&h[14], 40);
  plat::bytes::PutLe32(&h[18], static_cast<uint32_t>(width));
  plat::bytes::PutLe32(&h[22], static_cast<uint32_t>(height));
  plat::bytes::PutLe16(&h[26], static_cast<uint16_t>(1));
  plat::bytes::PutLe16(&h[28], static_cast<uint16_t>(static_cast<uint32_t>(bits)));
  plat::bytes::PutLe32(&h[38], static_cast<uint32_t>(xDpi * 3937 / 100));
  plat::bytes::PutLe32(&h[42], static_cast<uint32_t>(yDpi * 3937 / 100));
  return h;
}

// The record writers' palettes: 8-bit gray ramp, 4-bit 17i, 1-bit white first.
void RecordPalette(uint8_t* p, int bits) {
  const int entries = bits < 24 ? 1 << bits : 0;
  for (int i = 0; i < entries; ++i) {
    const uint8_t v = static_cast<uint8_t>(bits == 8 ? i : bits == 4 ? 17 * i : (i == 0 ? 255 : 0));
    p[4 * i] = p[4 * i + 1] = p[4 * i + 2] = v;
  }
}

// Writes a record as BMP at offset 0 of the open file: 1, -106, -555, -233 (with `where` naming the trace
// text of a failed write), -552 for a header that does not fit.
int WriteRecordBmp(int file, std::span<const uint8_t> record, bool oneBitToo, const char* rowError,
                   const char* lastError) {
  if (record.size() < kRecordHeaderBytes) return zarn::kBadParameter552;
  const int bits = ReadRecordHeader(record.data()).bits;
  if (bits != 4 && bits != 8 && bits != 24 && !(oneBitToo && bits == 1)) return zarn::kBadBitsPerPixel;
  const auto v = CheckRecord(record);
  if (!v) return zarn::kBadParameter552;
  const RecordHeader& h = v->header;
  const size_t stride = Stride(v->rowBytes);
  std::vector<uint8_t> out = BmpFileHeader(h.width, h.height, bits, stride, h.dpi, h.dpi);
  RecordPalette(out.data() + kBmpHeader, bits);
  int64_t at = 0;
  std::vector<uint8_t> row(stride, 0);
  try {
    out.reserve(kFlushAt + stride + out.size());
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  // Rows from the last to the first; each row is sized to its own stride, so no row can overflow.
  for (int y = h.height - 1; y >= 0; --y) {
    const uint8_t* src = v->Row(y);
    if (bits == 24) {
      for (int x = 0; x < h.width; ++x) {
        row[3 * x] = src[3 * x + 2];
        row[3 * x + 1] = src[3 * x + 1];
        row[3 * x + 2] = src[3 * x];
      }
    } else {
      std::memcpy(row.data(), src, v->rowBytes);
    }
    out.insert(out.end(), row.begin(), row.end());
    if (out.size() > kFlushAt) {
      if (!tiff::WriteAt(file, at, out.data(), out.size())) {
        TraceAt(1, "%s", rowError);
        return zarn::kDiskReadWrite;
      }
      at += static_cast<int64_t>(out.size());
      out.clear();
    }
  }
  if (!tiff::WriteAt(file, at, out.data(), out.size())) {
    TraceAt(1, "%s", lastError);
    return zarn::kDiskReadWrite;
  }
  return 1;
}

}  // namespace

int funcWriteBMPImage(int file, std::span<const uint8_t> record) {
  const int bits = record.size() >= kRecordHeaderBytes ? ReadRecordHeader(record.data()).bits : 0;
  return WriteRecordBmp(file, record, false,
                        bits == 8 ? "Disk Write Error 1 in funcWriteBMPImage" : "Disk Write Error 2 in funcWriteBMPImage",
                        "Disk Write Error 3 in funcWriteBMPImage");
}

int funcCompressImageBMP(const char* fileName, std::span<const uint8_t> record) {
  tiff::Fd file(fileName == nullptr ? -1
                                    : plat::OpenFileDescriptor(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd < 0) return zarn::kOpenFileError;
  return WriteRecordBmp(file.fd, record, true, "Disk Write Error 1 in funcCompressImageBMP",
                        "Disk Write Error 2 in funcCompressImageBMP");
}

int funcWriteDIBBMPImage(const uint8_t* pixels, const uint8_t* palette, const char* fileName, int width, int height,
                         int stride, int bits, int xDpi, int yDpi) {
  // The palette is 2^bits entries of the DIB: only the palette depths have one.
  if (bits != 1 && bits != 4 && bits != 8) return zarn::kBadBitsPerPixel;
  if (pixels == nullptr || palette == nullptr || width < 0 || height < 0 || stride < 0) return zarn::kBadParameter552;
  tiff::Fd file(fileName == nullptr ? -1
                                    : plat::OpenFileDescriptor(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd < 0) return zarn::kOpenFileError;
  std::vector<uint8_t> header = BmpFileHeader(width, height, bits, static_cast<size_t>(stride), xDpi, yDpi);
  header[6] = header[8] = '0';
  const size_t paletteBytes = header.size() - kBmpHeader;
  if (!tiff::WriteAt(file.fd, 0, header.data(), kBmpHeader)) {
    TraceAt(1, "Disk Write Error in funcWriteDIBBMPImage1 Image200");
    return zarn::kDiskReadWrite;
  }
  if (!tiff::WriteAt(file.fd, kBmpHeader, palette, paletteBytes)) {
    TraceAt(1, "Disk Write Error in funcWriteDIBBMPImage2 Image200");
    return zarn::kDiskReadWrite;
  }
  if (!tiff::WriteAt(file.fd, static_cast<int64_t>(kBmpHeader + paletteBytes), pixels,
                     static_cast<size_t>(stride) * static_cast<size_t>(height))) {
    TraceAt(1, "Disk Write Error in funcWriteDIBBMPImage3 Image200");
    return zarn::kDiskReadWrite;
  }
  return 1;
}

}  // namespace zc::imaging
