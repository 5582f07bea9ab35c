// The KQv8x sensor edge search.
#include "qv6/kqv8x/kqv8x_edges.h"

#include <algorithm>

namespace qv6::kqv8x {
namespace {

constexpr int kFirstPosition = 4;
constexpr int kLastPosition = 35;
constexpr int kEndRange = 256;
constexpr int kFewestPixels = 8;

// One step of the search: a rise `rise` over the window `low`; true when it marks the edge.
struct Turn {
  bool seen = false;
  unsigned previous = 0;

  bool Step(unsigned high, unsigned low) {
    unsigned difference = 0;
    bool found = false;
    if (high >= low) {
      difference = high - low;
      if (!seen) {
        seen = 2 * low < high;
      } else {
        found = difference < previous;
      }
    }
    previous = difference;
    return found;
  }
};

}  // namespace

int FindLineStart(std::span<const uint8_t> t) {
  if (t.size() < static_cast<size_t>(kLastPosition + 5)) return 1;
  unsigned left = t[0] + t[1] + t[2] + t[3];
  unsigned right = t[4] + t[5] + t[6] + t[7];
  Turn turn;
  for (int k = kFirstPosition; k <= kLastPosition; ++k) {
    const auto at = static_cast<size_t>(k);
    right = right + t[at + 4] - t[at];
    left = left + t[at] - t[at - 4];
    // A rise (right >= left) is tested as such; a fall resets the difference to 0.
    if (turn.Step(right, left) && right >= left) return k;
  }
  return 1;
}

int FindLineEnd(std::span<const uint8_t> t, int goodPixels) {
  const int n = std::min<int64_t>(goodPixels, static_cast<int64_t>(t.size()));
  if (n < kFewestPixels) return n;
  auto byte = [&t](int i) { return unsigned{t[static_cast<size_t>(i)]}; };
  unsigned a = byte(n - 4) + byte(n - 3) + byte(n - 2) + byte(n - 1);
  unsigned b = byte(n - 8) + byte(n - 7) + byte(n - 6) + byte(n - 5);
  Turn turn;
  // The range ends n - 256 (unsigned) below; the window reaches four below i, so i stays at 4 or above.
  const auto stop = static_cast<unsigned>(n - kEndRange);
  for (int i = n - 5; static_cast<unsigned>(i) > stop && i >= 4; --i) {
    b = b + byte(i - 4) - byte(i);
    a = a + byte(i) - byte(i + 4);
    if (turn.Step(b, a) && b >= a) return i;
  }
  return n;
}

}  // namespace qv6::kqv8x
