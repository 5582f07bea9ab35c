// Edge search and in-place row move of the side cropper.
#include "imaging/dib_crop.h"

#include <algorithm>
#include <cstring>

#include "imaging/gray_tables.h"
#include "imaging/packed_dib.h"
#include "imaging_trace.h"
#include "platform/byte_order.h"
#include "qv6/image/dib_format.h"

namespace zc::imaging {
namespace {

struct Sampler {
  const uint8_t* pixels;
  size_t stride;
  int bits;
  int threshold;
  bool Dark(int x, int y) const {
    const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
    int v = 0;
    if (bits == 8) {
      v = row[x];
    } else if (bits == 4) {
      v = row[x / 2];  // both pixels of the byte together
    } else {
      v = GetByteGrayTables().Gray(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
    return v <= threshold;
  }
};

struct Edges {
  int left, bottom, right, top;
};

Edges FindEdges(const Sampler& s, int W, int H, int limit) {
  Edges e{W, 20, 0, limit};
  const int xStep = s.bits == 4 ? 2 : 1;
  for (int i = 0; i < 10; ++i) {
    const int y = (H / 12) * (i + 1);
    int x = 0;
    while (x < e.left && s.Dark(x, y)) x += xStep;
    e.left = std::min(e.left, x);
    x = W - 1;
    while (x > e.right && s.Dark(x, y)) x -= xStep;
    e.right = std::max(e.right, x);
  }
  for (int i = 0; i < 10; ++i) {
    const int x = (W / 12) * (i + 1);
    int y = 0;
    while (y < e.bottom && y < H && s.Dark(x, y)) ++y;
    e.bottom = std::min(e.bottom, y);
    y = H - 1;
    while (y > e.top && s.Dark(x, y)) --y;
    e.top = std::max(e.top, y);
  }
  return e;
}

// Matches one axis of a rear crop to the front's size: small excesses are taken off both sides, small
// shortfalls added (the low edge stops at 0 and the high edge takes the rest, up to the side).
void MatchAxis(int* low, int* high, int frontSize, int side) {
  const int d = (*high - *low) - frontSize;
  if (d >= 2 && d <= 99) {
    *low += d / 2;
    *high -= d / 2;
  } else if (d >= -99 && d <= -2) {
    const int e = -d;
    int grow = e / 2;
    if (*low - e / 2 < 0) {
      grow = e - *low;
      *low = 0;
    } else {
      *low -= e / 2;
    }
    *high = std::min(*high + grow, side);
  }
}

}  // namespace

int DibCropper::Crop(int enable, int threshold, std::span<uint8_t> dib, int front) {
  if (front == 1) frontWidth_ = frontHeight_ = 0;
  if (enable < 1) return 0;
  const int T = std::clamp(threshold, 32, 112);
  PackedDibInfo info;
  if (const int rc = ReadPackedDib(dib, &info); rc != 0) return rc;
  const int bits = info.bitCount;
  if (bits != 4 && bits != 8 && bits != 24) return 0;
  const int W = info.width;
  const int H = info.height;
  uint8_t* pixels = dib.data() + info.pixelOffset;
  const int limit = std::min((W > 900 || H >= 451) ? 500 : 250, H);

  Edges e = FindEdges(Sampler{pixels, info.stride, bits, T}, W, H, limit);
  if (bits == 24) {
    TraceAt(1, "DIBCrop24(%d,%d,%d,%d), Image %d,%d", e.left, e.bottom, e.right, e.top, W, H);
  } else {
    TraceAt(1, bits == 8 ? "DIBCrop8(%d,%d,%d,%d), Image %d,%d, T %d" : "DIBCrop4(%d,%d,%d,%d), Image %d,%d, T %d",
            e.left, e.bottom, e.right, e.top, W, H, T);
  }
  if (e.left < 4) e.left = 0;
  if (e.bottom < 4) e.bottom = 0;
  if (e.right > W - 4) e.right = W;
  if (e.top > H - 4) e.top = H;
  if (e.left + 400 > e.right) {
    e.left = 0;
    e.right = W;
    TraceAt(1, "%s", "********** OVERCROP *************");
  }
  if (e.bottom > e.top) {
    e.bottom = 0;
    e.top = H;
  }
  if (front == 1) {
    frontWidth_ = e.right - e.left;
    frontHeight_ = e.top - e.bottom;
  } else if (frontWidth_ >= 1 && frontHeight_ >= 1) {
    MatchAxis(&e.left, &e.right, frontWidth_, W);
    MatchAxis(&e.bottom, &e.top, frontHeight_, H);
  }

  if (!(e.left < 1 && e.bottom < 1 && e.right >= W && e.top >= H)) {
    const int newWidth = e.right - e.left;
    const int newHeight = e.top - e.bottom;
    const size_t newStride = std::min<size_t>(static_cast<size_t>(qv6::DibBytesPerLine(newWidth, bits)), info.stride);
    int64_t offset = bits == 8 ? e.left : bits == 4 ? e.left / 2 : 3 * static_cast<int64_t>(e.left);
    offset = std::max<int64_t>(std::min<int64_t>(offset, static_cast<int64_t>(info.stride - newStride)), 0);
    for (int y = e.bottom; y < e.top; ++y) {
      std::memmove(pixels + static_cast<size_t>(y - e.bottom) * newStride,
                   pixels + static_cast<size_t>(y) * info.stride + offset, newStride);
    }
    if (info.coreHeader) {
      plat::bytes::PutLe16(dib.data() + 4, static_cast<uint16_t>(newWidth));
      plat::bytes::PutLe16(dib.data() + 6, static_cast<uint16_t>(newHeight));
    } else {
      plat::bytes::PutLe32(dib.data() + 4, static_cast<uint32_t>(newWidth));
      plat::bytes::PutLe32(dib.data() + 8, static_cast<uint32_t>(newHeight));
    }
  }
  TraceAt(2, "%s", "DIBCrop Done");
  return 0;
}

int DIBCrop(int enable, int threshold, std::span<uint8_t> dib, int front) {
  static DibCropper cropper;
  return cropper.Crop(enable, threshold, dib, front);
}

}  // namespace zc::imaging
