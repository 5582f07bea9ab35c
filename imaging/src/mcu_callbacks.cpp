// Block store for the codec's progressive JPEG paths.
#include "imaging/mcu_callbacks.h"

#include <cstddef>
#include <cstdlib>

namespace zc::imaging {

void* cbMcuAlloc(uint16_t a, uint16_t b) {
  return std::calloc(static_cast<size_t>(a) * static_cast<size_t>(b) + 4, 1);
}

void* cbMcuGetPtr(uint16_t rowCount, uint16_t stride, void* base, uint16_t row) {
  if (row >= rowCount) return nullptr;
  return static_cast<uint8_t*>(base) + static_cast<size_t>(stride) * static_cast<size_t>(row);
}

int cbMcuFree(uint16_t /*unused1*/, uint16_t /*unused2*/, void* block) {
  if (block == nullptr) return 0;
  std::free(block);
  return 1;
}

}  // namespace zc::imaging
