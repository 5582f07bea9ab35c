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

Document Toned(Document document, const Tones& tones) {
  constexpr int kFacePaper = 236, kFaceInk = 20;  // the synthetic face's own extremes
  uint32_t state = document.seed * 2654435761u + 97u;
  auto& p = document.front.rgb;
  for (size_t i = 0; i + 2 < p.size(); i += 3) {
    const int grey = (p[i] * 77 + p[i + 1] * 150 + p[i + 2] * 29) >> 8;
    int level = tones.ink + (grey - kFaceInk) * (tones.paper - tones.ink) / (kFacePaper - kFaceInk);
    if (tones.grain > 0) {
      state = state * 1664525u + 1013904223u;
      level += static_cast<int>((state >> 16) % static_cast<uint32_t>(2 * tones.grain + 1)) - tones.grain;
    }
    p[i] = p[i + 1] = p[i + 2] = static_cast<uint8_t>(std::clamp(level, 0, 255));
  }
  document.cheque.reset();
  return document;
}

}  // namespace sim::documents
