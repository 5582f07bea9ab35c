// The compact TIFF G4 header: 256 little-endian bytes with 11 directory entries, the coded strip from
// offset 256 (TIFF 6.0, CCITT T.6 compression, white is zero).
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

inline constexpr size_t kCompactG4HeaderBytes = 256;

// Zeroes the first 256 bytes of `buffer` and writes the header. 0, or -552 when the buffer holds fewer
// than 256 bytes.
int funcMakeTIFFG4Header(std::span<uint8_t> buffer, int width, int height, uint32_t stripBytes, int xResolution,
                         int yResolution);

}  // namespace zc::imaging
