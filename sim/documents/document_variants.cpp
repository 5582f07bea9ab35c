#include "sim/documents/document_variants.h"

#include <algorithm>

namespace sim::documents {
namespace {

void TurnHalf(SideImage& side) {
  // Reversing the pixel order of the whole face turns it by 180 degrees.
  auto& p = side.rgb;
  const size_t pixels = p.size() / 3;
  for (size_t i = 0, j = pixels == 0 ? 0 : pixels - 1; i < j; ++i, --j) {
    std::swap_ranges(p.begin() + static_cast<ptrdiff_t>(3 * i), p.begin() + static_cast<ptrdiff_t>(3 * i + 3),
                     p.begin() + static_cast<ptrdiff_t>(3 * j));
  }
}

}  // namespace

Document UpsideDown(Document document) {
  TurnHalf(document.front);
  TurnHalf(document.rear);
  document.codeLine.clear();
  document.cheque.reset();
  return document;
}

}  // namespace sim::documents
