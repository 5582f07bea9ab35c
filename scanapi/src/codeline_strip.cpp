// The code-line strip and the optical readers over it.
#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "imaging/dib_convert.h"
#include "imaging/image_record.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zarn {
namespace {

using zc::imaging::RecordHeader;

constexpr int kParamMicrGrayThreshold = 118;

// Image row `b` counted from the bottom (0 = the last row), or null when the image has fewer rows.
using BottomRow = std::function<const uint8_t*(int b)>;

std::vector<uint8_t> BuildStrip(int width, int bits, int dpi, int threshold, const BottomRow& row) {
  if (width <= 0) return {};
  const bool doubled = dpi == 100 && (bits == 4 || bits == 8);
  const bool direct = dpi == 200 && (bits == 4 || bits == 8);
  const int stripWidth = doubled ? 2 * width : width;
  if (stripWidth > zc::imaging::kMaxRecordSide) return {};
  const RecordHeader h{stripWidth, kStripRows, 1, kStripDpi};
  std::vector<uint8_t> strip;
  try {
    strip.assign(static_cast<size_t>(zc::imaging::RecordByteSize(h)), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  zc::imaging::WriteRecordHeader(strip.data(), h);
  if (!direct && !doubled) return strip;

  const size_t stripRow = static_cast<size_t>(zc::imaging::RecordRowBytes(stripWidth, 1));
  const int t4 = threshold / 16;
  auto black = [&](const uint8_t* src, int x) {
    if (bits == 8) return src[x] < threshold;
    const uint8_t b = src[x / 2];
    return (x & 1) ? (b & 0x0F) < t4 : (b & 0xF0) < threshold;
  };
  auto set = [](uint8_t* out, int x) { out[x / 8] = static_cast<uint8_t>(out[x / 8] | (0x80 >> (x % 8))); };
  uint8_t* pixels = strip.data() + zc::imaging::kRecordHeaderBytes;
  const int sourceRows = doubled ? kStripRows / 2 : kStripRows;
  for (int s = 0; s < sourceRows; ++s) {
    const uint8_t* src = row(sourceRows - 1 - s);
    if (src == nullptr) continue;  // rows the image does not have stay white
    uint8_t* out = pixels + static_cast<size_t>(doubled ? 2 * s : s) * stripRow;
    for (int x = 0; x < width; ++x) {
      if (!black(src, x)) continue;
      if (doubled) {
        set(out, 2 * x);
        set(out, 2 * x + 1);
      } else {
        set(out, x);
      }
    }
    if (doubled) std::memcpy(out + stripRow, out, stripRow);
  }
  return strip;
}

void CopyLine(char* to, size_t room, const char* from) {
  if (to == nullptr || room == 0) return;
  const size_t n = from == nullptr ? 0 : strnlen(from, room - 1);
  if (n != 0) std::memmove(to, from, n);
  to[n] = '\0';
}

struct Reading {
  char line[kCodeLineRoom] = {};
  char confidence[kCodeLineRoom] = {};
  char merged[kCodeLineRoom] = {};
};

// Merges a successful reading into the caller's line; the merge's result.
int Merge(Reading& r, char* codeLine, size_t room) {
  CopyLine(r.merged, sizeof r.merged, codeLine);
  const int rc = funcCombineMICR(codeLine, r.line, r.confidence, r.merged, sizeof r.merged, -4);
  if (rc == 0) CopyLine(codeLine, room, r.merged);
  return rc;
}

int ReadStrip(const std::vector<uint8_t>& strip, char* codeLine, size_t room, Reading& r) {
  if (strip.empty() || codeLine == nullptr || room == 0) return kBadParameter;
  const int rc = funcOCRRawImage(strip.data(), strip.size(), r.line, r.confidence, sizeof r.line);
  if (rc != 0) return rc;
  return Merge(r, codeLine, room);
}

int GrayStripThreshold() {
  return funcTableGetParam(kParamMicrGrayThreshold);
}

BottomRow RecordRows(const zc::imaging::ConstRecordView& v) {
  return [v](int b) -> const uint8_t* { return b < v.header.height ? v.Row(v.header.height - 1 - b) : nullptr; };
}

}  // namespace

std::vector<uint8_t> BuildGrayStrip(std::span<const uint8_t> record, int threshold) {
  const auto v = zc::imaging::CheckRecord(record);
  if (!v) return {};
  return BuildStrip(v->header.width, v->header.bits, v->header.dpi, threshold, RecordRows(*v));
}

std::vector<uint8_t> BuildGrayRowsStrip(std::span<const uint8_t> rows, int width, int height, size_t stride,
                                        int bits, int dpi, int threshold) {
  if (rows.data() == nullptr || width <= 0 || height < 0) return {};
  const size_t used = bits == 8 ? static_cast<size_t>(width) : (static_cast<size_t>(width) + 1) / 2;
  if ((bits == 4 || bits == 8) && height > 0 &&
      (stride < used || (static_cast<uint64_t>(height) - 1) * stride + used > rows.size()))
    return {};
  return BuildStrip(width, bits, dpi, threshold, [&](int b) -> const uint8_t* {
    return b < height ? rows.data() + static_cast<size_t>(b) * stride : nullptr;
  });
}

int funcOCRMICRFromGrayImage(std::span<const uint8_t> record, char* codeLine, size_t room) {
  Reading r;
  return ReadStrip(BuildGrayStrip(record, GrayStripThreshold()), codeLine, room, r);
}

int funcOCRMICRFromGrayRows(std::span<const uint8_t> rows, int width, int height, size_t stride, int bits, int dpi,
                            char* codeLine, size_t room) {
  Reading r;
  return ReadStrip(BuildGrayRowsStrip(rows, width, height, stride, bits, dpi, GrayStripThreshold()), codeLine,
                   room, r);
}

int funcOCRMICRFromGrayImageEx(std::span<const uint8_t> record, char* codeLine, size_t room, char* opticalLine,
                               char* confidence, char* mergedLine, size_t outRoom, int threshold, int* done) {
  if (done != nullptr) *done = 0;
  Reading r;
  const int rc = ReadStrip(BuildGrayStrip(record, threshold), codeLine, room, r);
  CopyLine(opticalLine, outRoom, r.line);
  CopyLine(confidence, outRoom, r.confidence);
  CopyLine(mergedLine, outRoom, r.merged);
  return rc;
}

int funcOCRMICRFromBWImage(std::span<const uint8_t> record, char* codeLine, size_t room) {
  const auto v = zc::imaging::CheckRecord(record);
  if (!v || v->header.bits != 1 || codeLine == nullptr || room == 0) return kBadParameter;
  Reading r;
  const size_t size = zc::imaging::kRecordHeaderBytes + v->PixelBytes();
  const int rc = funcOCRRawImage(record.data(), size, r.line, r.confidence, sizeof r.line);
  if (rc != 0) return rc;
  return Merge(r, codeLine, room);
}

int funcOCRMICRFromFile(const char* name, char* codeLine, size_t room) {
  if (name == nullptr || codeLine == nullptr || room == 0) return kBadParameter;
  Reading r;
  const int rc = funcOCRTiffImage(name, 1, 0, r.line, r.confidence, sizeof r.line);
  if (rc != 0) return rc;
  return Merge(r, codeLine, room);
}

void InstallDibCodeLineReaders() {
  static const zc::imaging::DibCodeLineReaders readers{funcOCRMICRFromGrayImage, funcOCRMICRFromBWImage,
                                                       funcOCRMICRFromGrayRows};
  zc::imaging::SetDibCodeLineReaders(&readers);
}

}  // namespace zarn
