// The majority and spur clean-up filter of the black-and-white renderings, over a packed 1-bit image
// (rows of `stride` bytes, most significant bit leftmost, 1 = black), in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zc::imaging {

// Visits rows 2..rows-3 and columns 2..lastColumn in order: a white pixel with at least 3 black of its four
// neighbours turns black; a black pixel with none turns white; a black spur tip off a 2 x 3 block
// (left, right, below, above, tested in that order) turns white. Does nothing when the image is too small.
void CleanUpBitImage(uint8_t* bits, size_t stride, int rows, int lastColumn);

}  // namespace zc::imaging
