#include "imaging/endorsement.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "codec/bilevel/bit_ops.h"
#include "codec/bilevel/image_view.h"
#include "codec/bilevel/strip_transform.h"
#include "endorsement_text.h"
#include "imaging/image_record.h"
#include "imaging/packed_dib.h"
#include "imaging_trace.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

constexpr int kBmpFileHeaderBytes = 14;
constexpr int kBmpInfoHeaderBytes = 40;
constexpr size_t kBmpChunkBytes = 8192;
constexpr size_t kBmpBlockBytes = 8224;
constexpr int kCanvasDpi = 200;

// How a scanner type shapes and finishes its canvas.
struct CanvasKind {
  int rows = 0;
  bool quarterTurn = false;
  bool lowerText = false;
  bool invert = false;
};

std::optional<CanvasKind> KindOf(int type) {
  switch (type) {
    case 3: return CanvasKind{24, true, false, true};
    case 10:
    case 300:
    case 400: return CanvasKind{24, true, false, false};
    case 314: return CanvasKind{16, true, false, false};
    case 30:
    case 200:
    case 205:
    case 215:
    case 220:
    case 230:
    case 240:
    case 440: return CanvasKind{16, false, true, true};
    default: return std::nullopt;
  }
}

struct Canvas {
  bool present = false;
  int width = 0;
  int rows = 0;
  std::vector<uint8_t> bits;  // rows of width / 8 bytes
  size_t Stride() const { return static_cast<size_t>(width) / 8; }
  uint8_t* Row(int r) { return bits.data() + static_cast<size_t>(r) * Stride(); }
  void Free() {
    present = false;
    width = rows = 0;
    bits.clear();
    bits.shrink_to_fit();
  }
};

// The one canvas of the process and the values the calls leave behind, under one lock.
std::mutex gLock;
Canvas gCanvas;
int iEndorsementStyle = 0;
int iEndorsementTextHeight = 0;
int iEndorsementTextWidth = 0;

// Quarter and half turns through the codec's 1-bit transform (mode 1 clockwise, 2 half, 3 counter-
// clockwise); both sides must be multiples of 8. Modes 1 and 3 exchange width and rows.
std::vector<uint8_t> TurnRaster(const std::vector<uint8_t>& bits, int& width, int& rows, int mode) {
  std::vector<uint8_t> turned(bits.size(), 0);
  codec::ImageView view{};
  view.rotation = mode;
  view.linesInStrip = rows;
  view.outLineWidth = width;
  codec::funcBilevelTransformLine(&view, bits.data(), turned.data(), turned.size());
  if (mode == 1 || mode == 3) std::swap(width, rows);
  return turned;
}

// The canvas of `width` (a multiple of 32) x `rows`, zeroed: 1, or -702 without memory. A canvas wider than
// a DIB can be is never finished: it is refused like one that finds no memory. Under the lock.
int funcEndorsementCanvasCreate(int64_t width, int rows) {
  if (width > kMaxRecordSide) return kEndorseCanvasState;
  try {
    gCanvas.bits.assign(static_cast<size_t>(width) / 8 * static_cast<size_t>(rows), 0);
  } catch (const std::bad_alloc&) {
    return kEndorseCanvasState;
  }
  gCanvas.present = true;
  gCanvas.width = static_cast<int>(width);
  gCanvas.rows = rows;
  return 1;
}

// Measures and draws the text into the canvas in the current style, keeping its height and drawn width.
// The canvas neither clips text starting above it nor moves text to fit: callers start large fonts above
// the top row on purpose. Under the lock, with a canvas.
void funcEndorsementCanvasText(int height, int x, int y, int bold, int italic, const char* face,
                               std::string_view text) {
  const text::FontSpec font = EndorsementFont(height, bold, italic, face);
  iEndorsementTextHeight = funcMeasureEndorsementText(font, text).height;
  const MonoRaster target{gCanvas.bits.data(), gCanvas.width, gCanvas.rows};
  const int drawn = funcDrawEndorsementText(target, x, y, font, text, false, false, iEndorsementStyle);
  if (drawn >= 0) iEndorsementTextWidth = drawn;
}

// A 16-row canvas whose last row holds no ink: rows 3..14 move down one (row 3 keeps its content).
void funcEndorsementLowerText(Canvas& c) {
  if (c.rows != 16) return;
  const uint8_t* last = c.Row(15);
  if (std::all_of(last, last + c.Stride(), [](uint8_t b) { return b == 0; })) {
    for (int r = 14; r >= 3; --r) std::memcpy(c.Row(r + 1), c.Row(r), c.Stride());
  }
}

// The canvas turned through the codec's 1-bit transform in `mode`.
void funcEndorsementRotate(Canvas& c, int mode) {
  c.bits = TurnRaster(c.bits, c.width, c.rows, mode);
}

// Lowering and the quarter turn, by kind.
void Finish(Canvas& c, const CanvasKind& kind) {
  if (kind.lowerText) funcEndorsementLowerText(c);
  if (kind.quarterTurn) funcEndorsementRotate(c, 3);
}

std::vector<uint8_t> funcMakeBMPHeader(int width, int height, int bits, int xDpi, int yDpi, size_t stride) {
  const int colours = 1 << bits;
  const int headerBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4 * colours;
  std::vector<uint8_t> h(static_cast<size_t>(headerBytes), 0);
  using plat::bytes::PutLe16;
  using plat::bytes::PutLe32;
  h[0] = 'B';
  h[1] = 'M';
  PutLe32(&h[2], static_cast<uint32_t>(headerBytes + stride * static_cast<size_t>(height)));
  PutLe32(&h[10], static_cast<uint32_t>(headerBytes));
  uint8_t* info = &h[kBmpFileHeaderBytes];
  PutLe32(info, kBmpInfoHeaderBytes);
  PutLe32(info + 4, static_cast<uint32_t>(width));
  PutLe32(info + 8, static_cast<uint32_t>(height));
  PutLe16(info + 12, 1);
  PutLe16(info + 14, static_cast<uint16_t>(bits));
  PutLe32(info + 24, static_cast<uint32_t>(xDpi * 3937 / 100));
  PutLe32(info + 28, static_cast<uint32_t>(yDpi * 3937 / 100));
  PutLe32(info + 32, static_cast<uint32_t>(colours));
  const int step = bits == 1 ? 255 : bits == 4 ? 17 : 1;
  for (int i = 0; i < colours; ++i) {
    uint8_t* e = info + kBmpInfoHeaderBytes + 4 * i;
    e[0] = e[1] = e[2] = static_cast<uint8_t>(i * step);
  }
  return h;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(fd, p, n);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

int funcEndorsementCanvasToBMP(Canvas& c, bool invert, const char* file) {
  if (invert) codec::funcInvertBytes(c.bits.data(), c.bits.size());
  const int rc = RawToBMP(file, c.bits.data(), c.width, c.rows, 1, kCanvasDpi, kCanvasDpi);
  c.Free();
  return rc;
}

std::optional<DibBlock> funcEndorsementCanvasToDIB(Canvas& c, bool invert) {
  if (invert) codec::funcInvertBytes(c.bits.data(), c.bits.size());
  auto dib = funcCreateDIB(c.width, c.rows, 1);
  if (!dib) return std::nullopt;
  auto bytes = dib->Bytes();
  uint8_t* palette = bytes.data() + kBmpInfoHeaderBytes;
  std::memset(palette, 0, 8);
  palette[4] = palette[5] = palette[6] = 255;
  const size_t dibStride = (static_cast<size_t>(c.width) + 31) / 32 * 4;
  uint8_t* pixels = palette + 8;
  for (int r = 0; r < c.rows; ++r)
    std::memcpy(pixels + static_cast<size_t>(c.rows - 1 - r) * dibStride, c.Row(r), (c.width + 7) / 8);
  return dib;
}

// Turn mode of a virtual endorsement angle: degrees clockwise, or the mode itself; -1 for anything else.
int TurnModeOf(int angle) {
  switch (angle) {
    case 0: return 0;
    case 1:
    case 2:
    case 3: return angle;
    case 90: return 1;
    case 180: return 2;
    case 270: return 3;
    default: return -1;
  }
}

// The ink of a text raster is the block from (inkX, inkY) to its end; it goes to the record from (x, y).
struct InkBlock {
  const std::vector<uint8_t>& bits;
  int width;  // of the raster, a multiple of 8
  int rows;
  int inkX;
  int inkY;
};

void CopyInk(const RecordView& rec, const InkBlock& ink, int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
  const int w = rec.header.width;
  const int h = rec.header.height;
  const int bits = rec.header.bits;
  const size_t inkStride = static_cast<size_t>(ink.width) / 8;
  // 1 bit starts at x rounded down to a byte, 4 bits at x rounded down to a byte pair of pixels.
  const int startX = bits == 1 ? x / 8 * 8 : bits == 4 ? x / 2 * 2 : x;
  for (int r = 0; ink.inkY + r < ink.rows && y + r < h; ++r) {
    uint8_t* row = rec.Row(y + r);
    const uint8_t* src = ink.bits.data() + static_cast<size_t>(ink.inkY + r) * inkStride;
    for (int c = 0; ink.inkX + c < ink.width && startX + c < w; ++c) {
      const int sc = ink.inkX + c;
      if (!((src[sc / 8] >> (7 - sc % 8)) & 1)) continue;
      const int px = startX + c;
      switch (bits) {
        case 1: row[px / 8] |= static_cast<uint8_t>(0x80 >> (c % 8)); break;
        case 4: {
          uint8_t& b = row[px / 2];
          const uint8_t level = green >> 4;
          b = (c % 2 == 0) ? static_cast<uint8_t>((b & 0x0F) | (level << 4)) : static_cast<uint8_t>((b & 0xF0) | level);
          break;
        }
        case 8: row[px] = green; break;
        case 24:
          row[3 * px] = red;
          row[3 * px + 1] = green;
          row[3 * px + 2] = blue;
          break;
        default: return;
      }
    }
  }
}

}  // namespace

int CheckEndorsementStart(int type, int width) {
  TraceAt(1, "CheckEndorsementStart(%d,%d)", type, width);
  const auto kind = KindOf(type);
  if (!kind) return kEndorseTypeUnsupported;
  std::lock_guard lock(gLock);
  if (gCanvas.present) return kEndorseCanvasState;
  return funcEndorsementCanvasCreate((int64_t{width > 100 ? width : 200} + 31) / 32 * 32, kind->rows);
}

int CheckEndorsementText(int type, int height, int x, int y, int bold, int italic, const char* face,
                         const char* text) {
  TraceAt(1, "CheckEndorsementText(%d,%d,%d,%d,%d,%d,%s,%s)", type, height, x, y, bold, italic, face ? face : "",
          text ? text : "");
  std::lock_guard lock(gLock);
  if (!gCanvas.present) return kEndorseDrawFailed;
  funcEndorsementCanvasText(height, x, y, bold, italic, face, text ? text : "");
  return 1;
}

int CheckEndorsementStretch(int) {
  std::lock_guard lock(gLock);
  if (!gCanvas.present) return kEndorseCanvasState;
  const size_t stride = gCanvas.Stride();
  std::vector<uint8_t> row(stride);
  for (int r = 0; r < gCanvas.rows; ++r) {
    uint8_t* src = gCanvas.Row(r);
    std::fill(row.begin(), row.end(), 0);
    for (int i = 0; i < gCanvas.width / 2; ++i) {
      if (!((src[i / 8] >> (7 - i % 8)) & 1)) continue;
      for (int k : {2 * i, 2 * i + 1}) row[k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
    }
    std::memcpy(src, row.data(), stride);
  }
  return 0;
}

int CheckEndorsementInvert(int textOnly) {
  std::lock_guard lock(gLock);
  if (!gCanvas.present) return kEndorseCanvasState;
  const size_t stride = gCanvas.Stride();
  size_t bytes = stride;
  if (textOnly != 0 && iEndorsementTextWidth >= 0 && iEndorsementTextWidth <= gCanvas.width)
    bytes = (static_cast<size_t>(iEndorsementTextWidth) + 7) / 8;
  for (int r = 0; r < gCanvas.rows; ++r) codec::funcInvertBytes(gCanvas.Row(r), bytes);
  return 0;
}

int CheckEndorsementEnd(int type, const char* file) {
  TraceAt(1, "CheckEndorsementEnd(%s)", file ? file : "");
  std::lock_guard lock(gLock);
  if (!gCanvas.present) return kEndorseWriteFailed;
  const auto kind = KindOf(type);
  if (!kind) return kEndorseTypeUnsupported;
  try {
    Finish(gCanvas, *kind);
  } catch (const std::bad_alloc&) {
    return kEndorseTurnFailed;
  }
  if (!file || funcEndorsementCanvasToBMP(gCanvas, kind->invert, file) != 0) {
    gCanvas.Free();
    return kEndorseWriteFailed;
  }
  return 1;
}

std::optional<DibBlock> CheckEndorsementEndhDIB(int type) {
  TraceAt(1, "CheckEndorsementEndhDIB");
  std::lock_guard lock(gLock);
  if (!gCanvas.present) return std::nullopt;
  const auto kind = KindOf(type);
  if (!kind) return std::nullopt;
  try {
    Finish(gCanvas, *kind);
    auto dib = funcEndorsementCanvasToDIB(gCanvas, kind->invert);
    gCanvas.Free();
    return dib;
  } catch (const std::bad_alloc&) {
    gCanvas.Free();
    return std::nullopt;
  }
}

int funcSetEndorsementStyle(int style) {
  std::lock_guard lock(gLock);
  iEndorsementStyle = style;
  return 0;
}

EndorsementCanvasInfo EndorsementCanvasState() {
  std::lock_guard lock(gLock);
  return {gCanvas.width, gCanvas.rows, iEndorsementTextWidth, iEndorsementTextHeight};
}

int RawToBMP(const char* file, const void* raw, int width, int height, int bitsPerPixel, int xDpi, int yDpi) {
  TraceAt(1, "RawToBMP(%s,%d,%d,%d,%d,%d)", file ? file : "", width, height, bitsPerPixel, xDpi, yDpi);
  // Only the depths with a gray palette are written; a 2^bits palette of other depths is not a BMP.
  if (!file || !raw || width < 1 || height < 1 || (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8))
    return -202;
  const int fd = plat::OpenFileDescriptor(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return -202;
  size_t stride = 0, rawRow = 0;
  switch (bitsPerPixel) {
    case 1:
      stride = ((static_cast<size_t>(width) + 31) / 8) & ~size_t{3};
      rawRow = (static_cast<size_t>(width) + 7) / 8;
      break;
    case 4:
      stride = ((static_cast<size_t>(width) + 7) / 2) & ~size_t{3};
      rawRow = (static_cast<size_t>(width) + 1) / 2;
      break;
    default:
      stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
      rawRow = static_cast<size_t>(width);
      break;
  }
  int rc = 0;
  try {
    const auto header = funcMakeBMPHeader(width, height, bitsPerPixel, xDpi, yDpi, stride);
    // At least one row a chunk: a row wider than the block grows the block instead of stalling the loop.
    const size_t chunkRows = std::max<size_t>(1, kBmpChunkBytes / stride);
    std::vector<uint8_t> block(std::max(kBmpBlockBytes, chunkRows * stride), 0);
    if (!WriteAll(fd, header.data(), header.size())) {
      rc = -203;
    } else {
      const auto* src = static_cast<const uint8_t*>(raw);
      int next = height - 1;  // bottom-up
      while (next >= 0 && rc == 0) {
        size_t n = 0;
        for (; n < chunkRows && next >= 0; ++n, --next) {
          uint8_t* d = block.data() + n * stride;
          std::memcpy(d, src + static_cast<size_t>(next) * rawRow, rawRow);
          std::memset(d + rawRow, 0, stride - rawRow);
        }
        if (!WriteAll(fd, block.data(), n * stride)) rc = -203;
      }
    }
  } catch (const std::bad_alloc&) {
    rc = -201;
  }
  ::close(fd);
  return rc;
}

int VEKVirtualEndorsement(std::span<uint8_t> record, const char* text, int height, int x, int y, int bold,
                          int italic, int angle, int style, uint8_t red, uint8_t green, uint8_t blue,
                          const char* face) {
  if (zarn::funcGetScannerTypeCode() < 0) return zarn::kScannerMissing;
  const auto rec = CheckRecord(record);
  if (!rec) return status::kBadParameter;
  const int rw = rec->header.width;
  const int rh = rec->header.height;
  TraceAt(1, "VEKVirtualEndorsement(%dx%dx%d) %d,%d,%d,%d,%d,%d", rw, rh, rec->header.bits, x, y, height, angle,
          bold, italic);
  TraceAt(1, "%s", text ? text : "");
  // 0, 90, 180 and 270 degrees (clockwise), or the turn mode 1..3 itself; another value would leave the
  // raster empty and report success, so it is refused.
  const int mode = TurnModeOf(angle);
  if (mode < 0) return status::kBadParameter;
  const text::FontSpec font = EndorsementFont(height, bold, italic, face);
  const std::string_view s = text ? text : "";
  const TextExtent extent = funcMeasureEndorsementText(font, s);
  {
    std::lock_guard lock(gLock);
    iEndorsementTextHeight = extent.height;
  }
  int w = extent.width;
  int h = extent.height;
  if (w < 1) return status::kBadParameter;

  // Placement: the footprint on the record is w x h upright and h x w when turned a quarter.
  const bool upright = mode == 0 || mode == 2;
  int& across = upright ? w : h;
  int& down = upright ? h : w;
  if (rw < across) {
    across = rw / 8 * 8;
    x = 0;
  } else if (x < 0) {
    x = static_cast<int>(std::max<int64_t>(0, int64_t{x} + rw - across));
  }
  if (y < 0) y = static_cast<int>(std::max<int64_t>(0, int64_t{y} + rh - down));

  int rasterWidth = (w + 15) / 16 * 16;
  int rasterRows = std::max(h, height);
  if (mode != 0) rasterRows = (rasterRows + 7) / 8 * 8;
  if (rasterWidth < 16 || rasterRows < 1) return status::kBadParameter;
  const int uprightWidth = rasterWidth;
  const int uprightRows = rasterRows;
  std::vector<uint8_t> ink;
  try {
    ink.assign(static_cast<size_t>(rasterWidth) / 8 * rasterRows, 0);
    funcDrawEndorsementText(MonoRaster{ink.data(), rasterWidth, rasterRows}, 0, 0, font, s, false, false,
                            style);
    if (mode != 0) ink = TurnRaster(ink, rasterWidth, rasterRows, mode);
  } catch (const std::bad_alloc&) {
    return kEndorseCanvasState;
  }
  {
    // The style applies to this drawing only.
    std::lock_guard lock(gLock);
    iEndorsementStyle = 0;
  }
  // The raster is padded right and below the text; a turn moves the padding to the left (clockwise),
  // above (counter-clockwise) or both (half turn). The text itself goes to (x, y), so a turned text
  // counted from the right or bottom edge ends at that edge instead of being pushed past it.
  const int padRight = uprightWidth - w;
  const int padBelow = uprightRows - h;
  InkBlock block{ink, rasterWidth, rasterRows, 0, 0};
  if (mode == 1) block.inkX = padBelow;
  if (mode == 2) {
    block.inkX = padRight;
    block.inkY = padBelow;
  }
  if (mode == 3) block.inkY = padRight;
  if (x < rw && y < rh) CopyInk(*rec, block, x, y, red, green, blue);
  return 0;
}

}  // namespace zc::imaging
