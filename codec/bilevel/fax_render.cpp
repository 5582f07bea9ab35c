// Change-list drawing and horizontal view mapping.
#include "codec/bilevel/fax_render.h"

#include <algorithm>
#include <cstring>

namespace zc::codec {
namespace {

void setBits(uint8_t* line, uint32_t from, uint32_t to, uint32_t lineBytes) {
  if (from >= to) return;
  // A run inside one 64-bit word of the line (most runs of text): one load, OR and store, the mask in
  // the line's bit order (most significant bit of the first byte first).
  const uint32_t word = from >> 6;
  if (((to - 1) >> 6) == word && 8 * word + 8 <= lineBytes) {
    const uint64_t mask = (~uint64_t{0} >> (from & 63)) & (~uint64_t{0} << (63 - ((to - 1) & 63)));
    uint64_t bits;
    std::memcpy(&bits, line + 8 * word, sizeof bits);
    bits |= __builtin_bswap64(mask);
    std::memcpy(line + 8 * word, &bits, sizeof bits);
    return;
  }
  uint32_t firstByte = from >> 3;
  const uint32_t lastByte = (to - 1) >> 3;
  const uint8_t headMask = static_cast<uint8_t>(0xFF >> (from & 7));
  const uint8_t tailMask = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (firstByte == lastByte) {
    line[firstByte] |= headMask & tailMask;
    return;
  }
  line[firstByte++] |= headMask;
  if (lastByte > firstByte) std::memset(line + firstByte, 0xFF, lastByte - firstByte);
  line[lastByte] |= tailMask;
}

int scale(const uint32_t* changes, uint32_t* out, const int32_t* map, int width, int panX, int outWidth,
          bool keepBlack) {
  const uint32_t w = static_cast<uint32_t>(width);
  const uint32_t ow = static_cast<uint32_t>(outWidth);
  int n = 0;
  for (int k = 0; changes[2 * k] < w; ++k) {
    uint32_t s = changes[2 * k];
    const uint32_t e = std::min(changes[2 * k + 1], w);
    if (e <= static_cast<uint32_t>(panX)) continue;
    s = std::max(s, static_cast<uint32_t>(panX));
    const uint32_t ms = static_cast<uint32_t>(map[s]);
    uint32_t me = static_cast<uint32_t>(map[e]);
    if (me <= ms) {
      if (!keepBlack || ms >= ow) continue;
      me = ms + 1;
    }
    if (n > 0 && ms <= out[n - 1]) {
      out[n - 1] = std::max(out[n - 1], me);  // the white gap closed: merge
    } else {
      out[n++] = ms;
      out[n++] = me;
    }
  }
  for (int i = 0; i < 4; ++i) out[n + i] = ow;
  return n;
}

}  // namespace

int faxCheckColumnMap(int width, int outWidth, int zoomX, int panX) {
  if (width > 128000) return 1;
  if (panX >= width || panX < 0) return 2;
  if (zoomX < 1 || zoomX > 32767) return 3;
  if (outWidth > 128000) return 4;
  return 0;
}

int funcFaxBuildColumnMap(int32_t* map, int width, int outWidth, int zoomX, int panX) {
  if (const int refused = faxCheckColumnMap(width, outWidth, zoomX, panX); refused != 0) return refused;
  for (int c = 0; c <= width; ++c) {
    if (c < panX) {
      map[c] = 0;
    } else {
      const int64_t k = c - panX;
      map[c] = static_cast<int32_t>(std::min<int64_t>((1024 + k * zoomX) / 2048, outWidth));
    }
  }
  return 0;
}

void funcFaxRenderChanges(const uint32_t* changes, uint8_t* line, int outWidth) {
  const uint32_t ow = static_cast<uint32_t>(outWidth);
  const uint32_t lineBytes = (ow + 7) / 8;
  for (int k = 0;; k += 2) {
    const uint32_t s = changes[k];
    const uint32_t e = std::min(changes[k + 1], ow);
    if (s >= e) break;  // past the width, or the closing copies of the width
    setBits(line, s, e, lineBytes);
    if (e >= ow) break;
  }
}

int funcFaxScaleChanges(const uint32_t* changes, uint32_t* out, const int32_t* map, int width, int panX,
                        int outWidth) {
  return scale(changes, out, map, width, panX, outWidth, false);
}

int funcFaxScaleChangesKeepBlack(const uint32_t* changes, uint32_t* out, const int32_t* map, int width,
                                 int panX, int outWidth) {
  return scale(changes, out, map, width, panX, outWidth, true);
}

}  // namespace zc::codec
