// Raw line to DIB pixel moves. The column moves are transposes, so they run over tiles that stay in cache
// instead of striding through the whole image per line.
#include "line_mapping.h"

#include <algorithm>
#include <cstring>

namespace qv6::lines {
namespace {

constexpr int kTile = 64;

inline uint8_t Nibble(const uint8_t* line, int64_t q, NibbleOrder order) {
  const uint8_t b = line[q >> 1];
  const bool high = ((q & 1) == 0) == (order == NibbleOrder::kHighFirst);
  return high ? static_cast<uint8_t>(b >> 4) : static_cast<uint8_t>(b & 0x0F);
}

}  // namespace

void LinesToColumns8(const LineRead& r, const DibView& dst) {
  const int rows = dst.height;
  for (int i0 = 0; i0 < r.numberOfLines; i0 += kTile) {
    const int i1 = std::min(i0 + kTile, r.numberOfLines);
    for (int j0 = 0; j0 < rows; j0 += kTile) {
      const int j1 = std::min(j0 + kTile, rows);
      for (int i = i0; i < i1; ++i) {
        const uint8_t* src = r.lines + i * r.bytesPerLine + r.start;
        uint8_t* out = dst.bits + r.Position(i);
        if (r.step > 0) {
          for (int j = j0; j < j1; ++j) out[j * dst.stride] = src[j];
        } else {
          for (int j = j0; j < j1; ++j) out[j * dst.stride] = src[-j];
        }
      }
    }
  }
}

void LinesToColumns24(const LineRead& r, int64_t planeBytes, const DibView& dst) {
  const int rows = dst.height;
  for (int i0 = 0; i0 < r.numberOfLines; i0 += kTile) {
    const int i1 = std::min(i0 + kTile, r.numberOfLines);
    for (int j0 = 0; j0 < rows; j0 += kTile) {
      const int j1 = std::min(j0 + kTile, rows);
      for (int i = i0; i < i1; ++i) {
        const uint8_t* red = r.lines + i * r.bytesPerLine + r.start;
        const uint8_t* green = red + planeBytes;
        const uint8_t* blue = green + planeBytes;
        uint8_t* out = dst.bits + int64_t{3} * r.Position(i);
        for (int j = j0; j < j1; ++j) {
          const int64_t q = int64_t{r.step} * j;
          uint8_t* px = out + j * dst.stride;
          px[0] = blue[q];
          px[1] = green[q];
          px[2] = red[q];
        }
      }
    }
  }
}

void LinesToColumns4(const LineRead& r, NibbleOrder order, const DibView& dst) {
  const int columns = r.numberOfLines;
  for (int j = 0; j < dst.height; ++j) {
    const int64_t q = r.start + int64_t{r.step} * j;
    uint8_t* out = dst.Row(j);
    std::memset(out, 0, static_cast<size_t>((columns + 1) / 2));
    for (int i = 0; i < columns; ++i) {
      const int x = r.Position(i);
      const uint8_t v = Nibble(r.lines + i * r.bytesPerLine, q, order);
      out[x >> 1] |= static_cast<uint8_t>((x & 1) ? v : v << 4);
    }
  }
}

void LinesToRows8(const LineRead& r, const DibView& dst) {
  for (int i = 0; i < r.numberOfLines; ++i) {
    const uint8_t* src = r.lines + i * r.bytesPerLine + r.start;
    uint8_t* out = dst.Row(r.Position(i));
    if (r.step > 0) {
      std::memcpy(out, src, static_cast<size_t>(dst.width));
    } else {
      for (int x = 0; x < dst.width; ++x) out[x] = src[-x];
    }
  }
}

void LinesToRows4(const LineRead& r, NibbleOrder order, bool swapNibbles, const DibView& dst) {
  for (int i = 0; i < r.numberOfLines; ++i) {
    const uint8_t* line = r.lines + i * r.bytesPerLine;
    uint8_t* out = dst.Row(r.Position(i));
    for (int x = 0; x < dst.width; x += 2) {
      const uint8_t hi = Nibble(line, r.start + int64_t{r.step} * x, order);
      const uint8_t lo = x + 1 < dst.width ? Nibble(line, r.start + int64_t{r.step} * (x + 1), order) : 0;
      out[x >> 1] = static_cast<uint8_t>(swapNibbles ? (lo << 4) | hi : (hi << 4) | lo);
    }
  }
}

}  // namespace qv6::lines
