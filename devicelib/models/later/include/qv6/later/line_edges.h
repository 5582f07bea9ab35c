// LineEdges: the first and last usable pixel of an image side, found in its white and black reference
// tables: scanning inward from either end over at most 32 good pixels, the first pixel whose white
// reference exceeds its black one by more than 64 counts. Positions count from 1.
#pragma once

#include <cstdint>
#include <span>

namespace qv6::later {

inline constexpr int kEdgeSearch = 32;
inline constexpr int kEdgeContrast = 64;

// goodPixels is bounded by both tables, so no position lies outside them. A side with fewer than 32 good
// pixels answers its count. Without a usable pixel in reach the search ends at its last position.
int FindLineStart(std::span<const uint8_t> white, std::span<const uint8_t> black, int goodPixels);
int FindLineEnd(std::span<const uint8_t> white, std::span<const uint8_t> black, int goodPixels);

}  // namespace qv6::later
