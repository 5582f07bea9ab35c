// Usable pixels of a side from its reference tables.
#include "qv6/later/line_edges.h"

#include <algorithm>

namespace qv6::later {
namespace {

int Bounded(std::span<const uint8_t> white, std::span<const uint8_t> black, int goodPixels) {
  const auto tables = static_cast<int64_t>(std::min(white.size(), black.size()));
  return static_cast<int>(std::clamp<int64_t>(goodPixels, 0, tables));
}

bool Usable(std::span<const uint8_t> white, std::span<const uint8_t> black, int i) {
  return white[static_cast<size_t>(i)] > black[static_cast<size_t>(i)] + kEdgeContrast;
}

}  // namespace

int FindLineStart(std::span<const uint8_t> white, std::span<const uint8_t> black, int goodPixels) {
  const int n = Bounded(white, black, goodPixels);
  if (n < kEdgeSearch) return n;
  for (int i = 0; i < kEdgeSearch; ++i) {
    if (Usable(white, black, i)) return i + 1;
  }
  return kEdgeSearch;
}

int FindLineEnd(std::span<const uint8_t> white, std::span<const uint8_t> black, int goodPixels) {
  const int n = Bounded(white, black, goodPixels);
  if (n < kEdgeSearch) return n;
  for (int i = n - 1; i >= n - kEdgeSearch; --i) {
    if (Usable(white, black, i)) return i + 1;
  }
  return n - kEdgeSearch + 1;
}

}  // namespace qv6::later
