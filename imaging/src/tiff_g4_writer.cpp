// Records as TIFF G4: the program's 512-byte header, the coded strip from offset 512, to files or to
// "MD:" memory targets.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec/bilevel/fax_encoder.h"
#include "imaging/checksum.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging/image_files.h"
#include "imaging/memory_target.h"
#include "imaging_trace.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr size_t kMaxG4RowBytes = 1024;
constexpr size_t kMicrEntry = 226;
constexpr size_t kEntryCount = 8;
constexpr size_t kDateTimeAt = 398, kSoftwareAt = 418, kYResAt = 496, kXResAt = 504;


struct Entry {
  uint16_t tag, type;
  uint32_t count, value;
};

std::tm LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm now{};
  localtime_r(&t, &now);
  return now;
}

// The writers' one encoder set-up: T.6 from `start`, the record's width and dpi.
codec::FaxEncodeCtx EncoderFor(const RecordHeader& h, const char* name, uintptr_t start) {
  codec::FaxEncodeCtx ctx{};
  std::strncpy(ctx.outputName, name, sizeof ctx.outputName - 1);
  ctx.mode = 1;
  ctx.width = h.width;
  ctx.resX = ctx.resY = h.dpi;
  ctx.fillOrder = 0;
  ctx.outputStart = start;
  ctx.k = 4;
  return ctx;
}

// Codes the record's rows through an opened context; false when an encoder write fell short.
bool CodeRows(codec::FaxEncodeCtx& ctx, const ConstRecordView& v, std::vector<uint8_t>& line) {
  for (int y = 0; y < v.header.height; ++y) {
    std::memcpy(line.data(), v.Row(y), v.rowBytes);
    codec::funcFaxEncodeLine(&ctx, line.data());
  }
  return codec::funcFaxEncodeClose(&ctx) == 0;
}

}  // namespace

TiffG4Header MakeTiffG4Header(int width, int rows, uint32_t stripBytes, int dpi, uint16_t checksum,
                              bool micrTag, const std::tm& now) {
  TiffG4Header h{};
  h[0] = h[1] = 'I';
  plat::bytes::PutLe16(&h[2], static_cast<uint16_t>(42));
  plat::bytes::PutLe32(&h[4], 8);
  // Sizes and resolutions keep their low 16 bits, as the header always has.
  const uint32_t w = static_cast<uint16_t>(width), r = static_cast<uint16_t>(rows), d = static_cast<uint16_t>(dpi);
  const Entry entries[19] = {
      {254, 4, 1, 0},     {256, 4, 1, w},           {257, 4, 1, r},      {258, 3, 1, 1},
      {259, 3, 1, 4},     {262, 3, 1, 0},           {263, 3, 1, 1},      {266, 3, 1, 1},
      {273, 4, 1, 512},   {277, 3, 1, 1},           {278, 4, 1, r},      {279, 4, 1, stripBytes},
      {282, 5, 1, 504},   {283, 5, 1, 496},         {292, 4, 1, 0},      {296, 3, 1, 2},
      {305, 2, 78, 418},  {306, 2, 20, 398},        {34604, 2, 0, 328}};
  plat::bytes::PutLe16(&h[kEntryCount], static_cast<uint16_t>(19));
  for (size_t i = 0; i < 19; ++i) {
    uint8_t* e = &h[10 + 12 * i];
    plat::bytes::PutLe16(e, static_cast<uint16_t>(entries[i].tag));
    plat::bytes::PutLe16(e + 2, static_cast<uint16_t>(entries[i].type));
    plat::bytes::PutLe32(e + 4, entries[i].count);
    if (entries[i].type == 3) {
      plat::bytes::PutLe16(e + 8, static_cast<uint16_t>(entries[i].value));
    } else {
      plat::bytes::PutLe32(e + 8, entries[i].value);
    }
  }
  if (!micrTag) {
    plat::bytes::PutLe16(&h[kEntryCount], static_cast<uint16_t>(18));
    std::fill(h.begin() + kMicrEntry, h.begin() + kMicrEntry + 12, 0);
  }
  char text[80];
  std::snprintf(text, sizeof text, "%4d:%02d:%02d %02d:%02d:%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                now.tm_hour, now.tm_min, now.tm_sec);
  std::memcpy(&h[kDateTimeAt], text, std::min<size_t>(std::strlen(text), 19));
  // The Software text padded with blanks to 76 characters (then two NULs), its bracketed digits replaced by
  // the checksum.
  static constexpr char kSoftware[] = "Brevant VEKAPI [1234]";
  std::snprintf(text, sizeof text, "%-76s", kSoftware);
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04x", checksum);
  std::memcpy(text + std::strlen(kSoftware) - 5, digits, 4);
  std::memcpy(&h[kSoftwareAt], text, 76);
  plat::bytes::PutLe32(&h[kYResAt], d);
  plat::bytes::PutLe32(&h[kYResAt + 4], 1);
  plat::bytes::PutLe32(&h[kXResAt], d);
  plat::bytes::PutLe32(&h[kXResAt + 4], 1);
  return h;
}

int funcWriteTIFFHeader(const codec::FaxEncodeCtx& ctx, uint16_t checksum) {
  const auto header = MakeTiffG4Header(ctx.width, ctx.lineCounter, ctx.bytesDelivered, ctx.resX, checksum,
                                       zarn::funcTableGetParam(105) != 0, LocalNow());
  if (std::strcmp(ctx.outputName, codec::kFaxMemoryOutputName) == 0) {
    std::memcpy(reinterpret_cast<void*>(ctx.outputStart), header.data(), header.size());
    return 1;
  }
  if (!tiff::WriteAt(ctx.fileHandle, 0, header.data(), header.size())) {
    TraceAt(1, "Disk Write Error in funcWriteTIFFHeader");
    return zarn::kDiskReadWrite;
  }
  return 1;
}

int funcCompressImageG4(int file, int /*mode*/, std::span<const uint8_t> record) {
  if (record.size() >= kRecordHeaderBytes && ReadRecordHeader(record.data()).bits != 1) return zarn::kBadBitsPerPixel;
  const auto v = CheckRecord(record);
  if (!v || v->header.bits != 1) return zarn::kBadParameter552;
  // The encoder's line buffer holds 1024 bytes: longer rows are refused before anything is coded.
  if (v->rowBytes > kMaxG4RowBytes) return zarn::kBadParameter552;
  const int32_t crc = funcImageCrc16(record);
  std::vector<uint8_t> line;
  try {
    line.assign(kMaxG4RowBytes, 0);
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  // The encoder codes into its own descriptor of the caller's file (it closes that one on a failed start),
  // positioned at the data offset.
  codec::FaxEncodeCtx ctx = EncoderFor(v->header, "OSTREL", kTiffG4DataOffset);
  ctx.fileHandle = ::dup(file);
  if (ctx.fileHandle < 0) return zarn::kOpenFileError;
  // The encoder's start codes (1, 3, 4) are positive, and 1 is this writer's success: a start that failed
  // is reported as the compression error it is.
  if (codec::funcFaxEncodeReset(&ctx) != codec::kFaxEncOk) return zarn::kCompressionError;
  const bool complete = CodeRows(ctx, *v, line);
  const int r = complete ? funcWriteTIFFHeader(ctx, static_cast<uint16_t>(crc < 0 ? 0 : crc)) : zarn::kDiskReadWrite;
  ::close(ctx.fileHandle);
  if (!complete) TraceAt(1, "Disk Write Error in funcCompressImageG4");
  return r;
}

int WriteBitImageAsG4(const char* outputName, int width, int rows, const uint8_t* bits, size_t stride, int dpi,
                      uint16_t checksum) {
  if (outputName == nullptr || bits == nullptr || width < 1 || rows < 0) return zarn::kBadParameter552;
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  if (rowBytes > kMaxG4RowBytes || stride < rowBytes) return zarn::kBadParameter552;
  const RecordHeader h{width, rows, 1, dpi};
  const bool memory = std::strncmp(outputName, "MD:", 3) == 0;
  std::optional<MemoryTarget> target;
  tiff::Fd file(-1);
  codec::FaxEncodeCtx ctx;
  if (memory) {
    target = ParseMemoryTarget(outputName);
    if (!target || target->address == 0 || (target->bounded() && target->size < kTiffG4HeaderBytes))
      return zarn::kBadParameter552;
    ctx = EncoderFor(h, codec::kFaxMemoryOutputName, target->address + kTiffG4DataOffset);
    ctx.outputLimit = target->bounded() ? target->address + target->size : 0;
    if (codec::funcFaxEncodeOpen(&ctx) != codec::kFaxEncOk) return zarn::kOpenFileError;
  } else {
    file.fd = plat::OpenFileDescriptor(outputName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file.fd < 0) return zarn::kOpenFileError;
    ctx = EncoderFor(h, "OSTREL", kTiffG4DataOffset);
    ctx.fileHandle = ::dup(file.fd);
    if (ctx.fileHandle < 0 || codec::funcFaxEncodeReset(&ctx) != codec::kFaxEncOk) return zarn::kOpenFileError;
  }
  std::vector<uint8_t> line(kMaxG4RowBytes, 0);
  for (int y = 0; y < rows; ++y) {
    std::memcpy(line.data(), bits + static_cast<size_t>(y) * stride, rowBytes);
    codec::funcFaxEncodeLine(&ctx, line.data());
  }
  const bool complete = codec::funcFaxEncodeClose(&ctx) == 0;
  if (memory) ctx.outputStart = target->address;
  const int r = complete ? funcWriteTIFFHeader(ctx, checksum) : zarn::kDiskReadWrite;
  if (!memory) ::close(ctx.fileHandle);
  return r;
}

int funcWriteBWImageToMemTIFF(const char* name, std::span<const uint8_t> record) {
  if (name == nullptr || std::strncmp(name, "MD:", 3) != 0) return zarn::kBadParameter552;
  const std::optional<MemoryTarget> target = ParseMemoryTarget(name);
  if (!target || target->address == 0) return zarn::kBadParameter552;
  if (target->bounded() && target->size < kTiffG4HeaderBytes) return zarn::kBadParameter552;
  // The rows are read as 1-bit rows whatever the depth field says.
  if (record.size() < kRecordHeaderBytes) return zarn::kBadParameter552;
  std::vector<uint8_t> copy(record.begin(), record.end());
  RecordHeader h = ReadRecordHeader(copy.data());
  h.bits = 1;
  WriteRecordHeader(copy.data(), h);
  const auto v = CheckRecord(std::span<const uint8_t>(copy));
  if (!v || v->rowBytes > kMaxG4RowBytes) return zarn::kBadParameter552;
  std::vector<uint8_t> line(kMaxG4RowBytes, 0);
  codec::FaxEncodeCtx ctx = EncoderFor(h, codec::kFaxMemoryOutputName, target->address + kTiffG4DataOffset);
  ctx.outputLimit = target->bounded() ? target->address + target->size : 0;
  if (codec::funcFaxEncodeOpen(&ctx) > 0) return zarn::kOpenFileError;
  const bool complete = CodeRows(ctx, *v, line);
  ctx.outputStart = target->address;
  const int r = funcWriteTIFFHeader(ctx, 0);
  // A target too small for the coded page says so instead of handing back a cut image.
  return complete ? r : zarn::kDiskReadWrite;
}

int ZARNCompressImage(const char* name, std::span<const uint8_t> record) {
  TraceAt(1, "ZARNCompressImage(%s)", name ? name : "(null)");
  if (name == nullptr) return zarn::kBadFileName;
  if (std::strncmp(name, "MD:", 3) == 0) return funcWriteBWImageToMemTIFF(name, record);
  char cut[256];
  if (funcCutFileName(name, cut, sizeof cut) != 1) return zarn::kOpenFileError;
  tiff::Fd file(plat::OpenFileDescriptor(cut, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd < 0) {
    TraceAt(1, "Unable to Open File %s", cut);
    return zarn::kOpenFileError;
  }
  int r = funcCompressImageG4(file.fd, 0, record);
  if (r < 0) r = zarn::kCompressionError;
  TraceAt(1, "Leaving ZARNCompressImage(%s)", name);
  return r;
}

}  // namespace zc::imaging
