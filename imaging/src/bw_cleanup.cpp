#include "imaging/bw_cleanup.h"

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace zc::imaging {
namespace {

class Bits {
 public:
  Bits(uint8_t* p, size_t stride) : p_(p), stride_(stride) {}
  bool At(int r, int c) const { return (p_[r * stride_ + c / 8] >> (7 - c % 8)) & 1; }
  void Set(int r, int c, bool black) {
    uint8_t& b = p_[r * stride_ + c / 8];
    const uint8_t m = static_cast<uint8_t>(0x80 >> (c % 8));
    b = black ? (b | m) : (b & ~m);
  }
  bool AllBlack(int r0, int r1, int c0, int c1) const {
    for (int r = r0; r <= r1; ++r)
      for (int c = c0; c <= c1; ++c)
        if (!At(r, c)) return false;
    return true;
  }
  bool AnyBlack(std::initializer_list<std::pair<int, int>> cells) const {
    for (auto [r, c] : cells)
      if (At(r, c)) return true;
    return false;
  }

 private:
  uint8_t* p_;
  size_t stride_;
};

}  // namespace

void CleanUpBitImage(uint8_t* bits, size_t stride, int rows, int lastColumn) {
  // Columns c+2 and rows r+2 are read, so the bounds keep every access inside the image.
  if (lastColumn > static_cast<int>(stride * 8) - 3) lastColumn = static_cast<int>(stride * 8) - 3;
  Bits b(bits, stride);
  for (int r = 2; r <= rows - 3; ++r) {
    const uint8_t* rowAbove = bits + (r - 1) * stride;
    const uint8_t* rowHere = bits + r * stride;
    const uint8_t* rowBelow = bits + (r + 1) * stride;
    for (int c = 2; c <= lastColumn; ++c) {
      // A white byte between white bytes above and below, with white pixels left and right of it, has no
      // pixel the filter changes: skip it whole (blank paper is most of a cheque).
      if (c % 8 == 0 && c + 7 <= lastColumn) {
        const size_t k = static_cast<size_t>(c) / 8;
        if ((rowHere[k] | rowAbove[k] | rowBelow[k]) == 0 && !b.At(r, c - 1) && !b.At(r, c + 8)) {
          c += 7;
          continue;
        }
      }
      const int neighbours = b.At(r - 1, c) + b.At(r, c - 1) + b.At(r, c + 1) + b.At(r + 1, c);
      if (!b.At(r, c)) {
        if (neighbours >= 3) b.Set(r, c, true);
        continue;
      }
      if (neighbours == 0) {
        b.Set(r, c, false);
        continue;
      }
      const bool left = b.AllBlack(r - 1, r + 1, c - 2, c - 1) &&
                        !b.AnyBlack({{r - 1, c}, {r + 1, c}, {r - 1, c + 1}, {r, c + 1}, {r + 1, c + 1}});
      const bool right = !left && b.AllBlack(r - 1, r + 1, c + 1, c + 2) &&
                         !b.AnyBlack({{r - 1, c}, {r + 1, c}, {r - 1, c - 1}, {r, c - 1}, {r + 1, c - 1}});
      const bool below = !left && !right && b.AllBlack(r + 1, r + 2, c - 1, c + 1) &&
                         !b.AnyBlack({{r, c - 1}, {r, c + 1}, {r - 1, c - 1}, {r - 1, c}, {r - 1, c + 1}});
      const bool above = !left && !right && !below && b.AllBlack(r - 2, r - 1, c - 1, c + 1) &&
                         !b.AnyBlack({{r, c - 1}, {r, c + 1}, {r + 1, c - 1}, {r + 1, c}, {r + 1, c + 1}});
      if (left || right || below || above) b.Set(r, c, false);
    }
  }
}

}  // namespace zc::imaging
