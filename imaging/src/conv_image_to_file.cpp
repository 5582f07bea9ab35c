// funcConvImageToFile: a 4- or 8-bit record at full or half scale as an 8-, 4- or 1-bit file.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

// The source pixel at (x, y) as one 8-bit level: an 8-bit pixel as it is; a 4-bit pixel times 16 at full
// scale, and at half scale the whole source byte x / 2 (left pixel x 16 + right pixel), as the half-scale
// writers read it.
int Level(const ConstRecordView& v, int x, int y, int scale) {
  const uint8_t* row = v.Row(y);
  if (v.header.bits == 8) return row[x];
  if (scale == 2) return row[x / 2];
  return ((x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2]) & 0x0F) * 16;
}

int WriteRecord(std::span<const uint8_t> out, int mode, const char* fileName) {
  switch (mode) {
    case 1: {
      tiff::Fd file(plat::OpenFileDescriptor(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
      if (file.fd < 0) return zarn::kOpenFileError;
      return funcCompressImageG4(file.fd, mode, out);
    }
    case 3: return funcCompressImageBMP(fileName, out);
    case 4: return ZARNCompressImageGray(fileName, out, 4);
    default: return 0;
  }
}

}  // namespace

int funcConvImageToFile(std::span<const uint8_t> record, int threshold, int scale, int outputDepth, int mode,
                        const char* fileName) {
  TraceAt(1, "funcConvImageToFile(%d,%d,%d,%d,%s)", threshold, scale, outputDepth, mode, fileName ? fileName : "");
  if (scale != 1 && scale != 2) return zarn::kBadParameter552;
  if (outputDepth != 0 && outputDepth != 1 && outputDepth != 4 && outputDepth != 8) return zarn::kBadParameter552;
  if (outputDepth != 0 && (fileName == nullptr || fileName[0] == '\0')) return zarn::kBadParameter552;
  const auto v = CheckRecord(record);
  if (!v || (v->header.bits != 4 && v->header.bits != 8)) return zarn::kBadParameter552;
  if (outputDepth == 0) return 1;
  const int inBits = v->header.bits;
  // Modes each writer takes; an 8-bit output from an 8-bit record, or any 8-bit output of a 4-bit record at
  // full scale, takes the others too and writes nothing.
  const bool eightBitAnyMode = outputDepth == 8 && scale == 1;
  const bool accepted = outputDepth == 1 ? mode == 1 : outputDepth == 4 ? mode == 3 : (mode == 3 || mode == 4);
  if (!accepted) return eightBitAnyMode ? 0 : zarn::kBadParameter552;
  if (outputDepth == 4 && inBits == 4 && scale == 1) {
    const int r = WriteRecord(record, mode, fileName);
    return r < 0 ? r : 1;
  }
  if (outputDepth == 8 && inBits == 8 && scale == 1) {
    const int r = WriteRecord(record, mode, fileName);
    return r < 0 ? r : 1;
  }

  RecordHeader h = v->header;
  if (scale == 2) {
    h.width = (h.width + 1) / 2;
    h.height = (h.height + 1) / 2;
    h.dpi /= 2;
  }
  h.bits = outputDepth;
  std::vector<uint8_t> out;
  try {
    out.assign(static_cast<size_t>(RecordByteSize(h)), 0);
  } catch (const std::bad_alloc&) {
    return zarn::kAllocError;
  }
  const auto o = StartRecord(out, h);
  if (!o) return zarn::kBadParameter552;
  for (int y = 0; y < h.height; ++y) {
    uint8_t* dst = o->Row(y);
    for (int x = 0; x < h.width; ++x) {
      const int level = Level(*v, x * scale, y * scale, scale);
      if (outputDepth == 1) {
        if (level <= threshold) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      } else if (outputDepth == 4) {
        const int nibble = (inBits == 4 && scale == 2) ? (v->Row(y * 2)[x] >> 4) : level >> 4;
        dst[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? nibble << 4 : nibble);
      } else {
        dst[x] = static_cast<uint8_t>(level);
      }
    }
  }
  const int r = WriteRecord(out, mode, fileName);
  return r < 0 ? r : 1;
}

}  // namespace zc::imaging
