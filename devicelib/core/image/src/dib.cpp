// CDib creation, header readers, window crop and the 8-bit to 4-bit reduction.
#include "qv6/image/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qv6 {
namespace {

constexpr int kMaxPaletteColors = 256;

bool IsSupportedBitCount(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
}

// Crop bound normalisation against a size n: a start that is negative counts from the end when it lies
// inside, an end of 0 means the last index, and anything beyond is clamped.
int NormaliseStart(int s, int n) {
  if (s < 0 && -static_cast<int64_t>(s) < n) return s + n;
  if (s <= 0) return 0;
  if (s >= n) return n - 1;
  return s;
}

int NormaliseEnd(int e, int n) {
  if (e == 0) return n - 1;
  if (e < 0 && -static_cast<int64_t>(e) < n) return e + n;
  if (e < 0) return 0;
  if (e >= n) return n - 1;
  return e;
}

}  // namespace

bool CDib::IsCoreHeader() const {
  return block_ && LoadLe32(block_.get()) == kCoreHeaderSize;
}

uint32_t CDib::HeaderSize() const {
  return block_ ? LoadLe32(block_.get()) : 0;
}

int CDib::GetWidth() const {
  if (!block_) return 0;
  return IsCoreHeader() ? LoadLe16(block_.get() + 4) : static_cast<int32_t>(LoadLe32(block_.get() + 4));
}

int CDib::GetHeight() const {
  if (!block_) return 0;
  return IsCoreHeader() ? LoadLe16(block_.get() + 6) : static_cast<int32_t>(LoadLe32(block_.get() + 8));
}

int CDib::GetBitCount() const {
  if (!block_) return 0;
  return LoadLe16(block_.get() + (IsCoreHeader() ? 10 : 14));
}

int CDib::GetBytesPerLine() const {
  const int64_t bpl = DibBytesPerLine(GetWidth(), GetBitCount());
  return bpl < 0 || bpl > INT32_MAX ? 0 : static_cast<int>(bpl);
}

int CDib::GetNumColors() const {
  if (!block_) return 0;
  if (!IsCoreHeader()) {
    const uint32_t used = LoadLe32(block_.get() + 32);
    if (used != 0) return static_cast<int>(std::min<uint32_t>(used, kMaxPaletteColors));
  }
  return DibDefaultColorCount(GetBitCount());
}

int CDib::GetPaletteSize() const {
  return GetNumColors() * (IsCoreHeader() ? 3 : 4);
}

uint32_t CDib::GetImageSize() const {
  const int64_t size = static_cast<int64_t>(GetBytesPerLine()) * std::max(GetHeight(), 0);
  return static_cast<uint32_t>(std::min<int64_t>(size, UINT32_MAX));
}

uint32_t CDib::GetDibSize() const {
  if (!block_) return 0;
  const uint32_t compression = LoadLe32(block_.get() + 16);
  const uint64_t pixels = (!IsCoreHeader() && (compression == 1 || compression == 2))
                              ? LoadLe32(block_.get() + 20)
                              : GetImageSize();
  const uint64_t total = uint64_t{HeaderSize()} + static_cast<uint64_t>(GetPaletteSize()) + pixels;
  return static_cast<uint32_t>(std::min<uint64_t>(total, blockSize_));
}

std::optional<DibView> CDib::CheckedView() const {
  if (!block_) return std::nullopt;
  DibView v;
  v.width = GetWidth();
  v.height = GetHeight();
  v.bitCount = GetBitCount();
  if (v.width < 0 || v.height < 0 || !IsSupportedBitCount(v.bitCount)) return std::nullopt;
  v.stride = DibBytesPerLine(v.width, v.bitCount);
  const uint64_t offset = uint64_t{HeaderSize()} + static_cast<uint64_t>(GetPaletteSize());
  const uint64_t pixels = static_cast<uint64_t>(v.stride) * static_cast<uint64_t>(v.height);
  if (offset > blockSize_ || pixels > blockSize_ - offset) return std::nullopt;
  v.bits = block_.get() + offset;
  return v;
}

uint8_t* CDib::GetBits() const {
  const auto view = CheckedView();
  return view ? view->bits : nullptr;
}

int CDib::Create(int width, int height, int bitCount, int dpi) {
  block_.reset();
  blockSize_ = 0;
  if (width < 0 || height < 0 || !IsSupportedBitCount(bitCount)) return 0;

  const int64_t bpl = DibBytesPerLine(width, bitCount);
  const uint64_t imageBytes = static_cast<uint64_t>(bpl) * static_cast<uint64_t>(height);
  const int colors = DibDefaultColorCount(bitCount);
  const uint64_t total = kInfoHeaderSize + static_cast<uint64_t>(colors) * 4 + imageBytes;
  if (total > kMaxDibBytes) return 0;

  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[total]);
  if (!block) return 0;

  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<uint16_t>(bitCount);
  h.sizeImage = static_cast<uint32_t>(imageBytes);
  h.xPelsPerMeter = PixelsPerMetreFromDpi(dpi);
  h.yPelsPerMeter = h.xPelsPerMeter;
  WriteInfoHeader(block.get(), h);

  uint8_t* palette = block.get() + kInfoHeaderSize;
  const int step = colors == 2 ? 255 : colors == 16 ? 17 : 1;
  for (int i = 0; i < colors; ++i) {
    const auto level = static_cast<uint8_t>(i * step);
    palette[4 * i + 0] = level;
    palette[4 * i + 1] = level;
    palette[4 * i + 2] = level;
    palette[4 * i + 3] = 0;
  }

  // Padding after the last pixel byte of each row is zeroed so that images are deterministic.
  const int64_t used = (static_cast<int64_t>(width) * bitCount + 7) / 8;
  if (used < bpl) {
    uint8_t* bits = palette + static_cast<size_t>(colors) * 4;
    for (int64_t y = 0; y < height; ++y)
      std::memset(bits + y * bpl + used, 0, static_cast<size_t>(bpl - used));
  }

  block_ = std::move(block);
  blockSize_ = total;
  return 1;
}

int CDib::Rebuild(const DibView& source, int64_t width, int64_t height, int bitCount, int dpi,
                  const Fill& fill) {
  if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return 0;
  CDib fresh;
  if (!fresh.Create(static_cast<int>(width), static_cast<int>(height), bitCount, dpi)) return 0;
  const auto target = fresh.CheckedView();
  if (!target) return 0;
  // An image without pixels (a zero width or height, possibly with a huge other side taken from a
  // rewritten header) needs no walk over its rows.
  if (target->width > 0 && target->height > 0) fill(source, *target);
  block_ = std::move(fresh.block_);
  blockSize_ = fresh.blockSize_;
  return 1;
}

int CDib::Crop(int x0, int x1, int y0, int y1) {
  const auto view = CheckedView();
  // An empty image has no index to normalise against (every bound would become -1).
  if (!view || view->width == 0 || view->height == 0) return 0;
  x0 = NormaliseStart(x0, view->width);
  x1 = NormaliseEnd(x1, view->width);
  y0 = NormaliseStart(y0, view->height);
  y1 = NormaliseEnd(y1, view->height);
  if (y1 < y0 || x1 < x0) return 0;
  if (view->bitCount == 1) x0 &= ~7;
  if (view->bitCount == 4) x0 &= ~1;

  const uint8_t* header = block_.get();
  const int32_t ppmX = static_cast<int32_t>(LoadLe32(header + 24));
  const int32_t ppmY = static_cast<int32_t>(LoadLe32(header + 28));
  const int64_t startByte = static_cast<int64_t>(x0) * view->bitCount / 8;

  const int ok = Rebuild(*view, int64_t{x1} - x0 + 1, int64_t{y1} - y0 + 1, view->bitCount,
                         DpiFromPixelsPerMetre(ppmX), [&](const DibView& src, const DibView& dst) {
                           // A window at the right edge may need fewer bytes than a new row holds: copy
                           // what the old row has and zero the rest instead of reading past it.
                           const int64_t available = src.stride - startByte;
                           const int64_t copy = std::min(dst.stride, available);
                           for (int y = 0; y < dst.height; ++y) {
                             uint8_t* out = dst.Row(y);
                             std::memcpy(out, src.Row(y0 + y) + startByte, static_cast<size_t>(copy));
                             std::memset(out + copy, 0, static_cast<size_t>(dst.stride - copy));
                           }
                         });
  if (ok) {
    StoreLe32(block_.get() + 24, static_cast<uint32_t>(ppmX));
    StoreLe32(block_.get() + 28, static_cast<uint32_t>(ppmY));
  }
  return ok;
}

int CDib::ConvertTo4Bit() {
  const auto view = CheckedView();
  if (!view || view->bitCount != 8 || GetNumColors() != 256) return 0;
  const uint32_t ppmX = LoadLe32(block_.get() + 24);
  const uint32_t ppmY = LoadLe32(block_.get() + 28);
  const int ok = Rebuild(*view, view->width, view->height, 4, 0, [](const DibView& src, const DibView& dst) {
    const int pairs = src.width / 2;
    for (int y = 0; y < src.height; ++y) {
      const uint8_t* in = src.Row(y);
      uint8_t* out = dst.Row(y);
      for (int64_t i = 0; i < pairs; ++i)
        out[i] = static_cast<uint8_t>((in[2 * i] & 0xF0) | (in[2 * i + 1] >> 4));
      // The last pixel of an odd width has no partner; its low nibble is row padding.
      if (src.width & 1) out[pairs] = static_cast<uint8_t>(in[int64_t{2} * pairs] & 0xF0);
    }
  });
  if (ok) {
    StoreLe32(block_.get() + 24, ppmX);
    StoreLe32(block_.get() + 28, ppmY);
  }
  return ok;
}

}  // namespace qv6
