// Colour expansion of the later series' raw lines.
#include "qv6/later/colour_lines.h"

#include <algorithm>
#include <array>

namespace qv6::later {
namespace {

using Planes = std::array<int, 3>;

void PutLine(std::span<const uint8_t> raw, int pixels, const Planes& planes, bool half, uint8_t* dst) {
  const int width = half ? pixels / 2 : pixels;
  for (int plane : planes) {
    const uint8_t* src = raw.data() + static_cast<size_t>(plane) * static_cast<size_t>(pixels);
    if (half) {
      for (int u = 0; u < width; ++u) *dst++ = src[2 * u];
    } else {
      std::copy_n(src, width, dst);
      dst += width;
    }
  }
}

}  // namespace

ColourLines ExpandColourLines(std::span<const uint8_t> raw, int lines, int pixels, int colourMode, bool half,
                              std::vector<uint8_t>& out, int repeat) {
  ColourLines result;
  out.clear();
  if (lines <= 0 || pixels <= 0 || raw.size() / static_cast<size_t>(pixels) < static_cast<size_t>(lines)) {
    return result;
  }
  if (repeat <= 0) repeat = half ? 1 : 2;
  std::vector<Planes> order;
  if (colourMode == 1) {
    for (int q = 0; q < (lines - 1) / 4; ++q) {
      const int b = 4 * q;
      for (int r = 0; r < repeat; ++r) order.push_back({b, b + 1, b + 2});
      for (int r = 0; r < repeat; ++r) order.push_back({b + 4, b + 3, b + 2});
    }
  } else if (colourMode == 2) {
    for (int q = 0; q < (lines - 2) / 3; ++q) {
      const int b = 3 * q;
      for (int r = 0; r < repeat; ++r) order.push_back({b, b + 1, b + 2});
    }
  } else {
    return result;
  }
  if (order.empty()) return result;
  result.pixels = half ? pixels / 2 : pixels;
  result.lines = static_cast<int>(order.size());
  const size_t lineBytes = 3 * static_cast<size_t>(result.pixels);
  out.resize(order.size() * lineBytes);
  for (size_t i = 0; i < order.size(); ++i) PutLine(raw, pixels, order[i], half, out.data() + i * lineBytes);
  return result;
}

}  // namespace qv6::later
