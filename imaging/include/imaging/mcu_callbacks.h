// Memory callbacks the codec calls to keep decoded JPEG blocks (counts and sizes are 16-bit), with the
// sizes and addresses computed in size_t.
#pragma once

#include <cstdint>

namespace zc::imaging {

// A zeroed block of a * b + 4 bytes, or null when memory is exhausted.
void* cbMcuAlloc(uint16_t a, uint16_t b);
// base + stride * row, or null when row is not below the row count.
void* cbMcuGetPtr(uint16_t rowCount, uint16_t stride, void* base, uint16_t row);
// Frees the block: 1, or 0 for a null block.
int cbMcuFree(uint16_t unused1, uint16_t unused2, void* block);

}  // namespace zc::imaging
