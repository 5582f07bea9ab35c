// Quarter and half turns of bare 1-bit rasters (rows of width / 8 bytes, leftmost pixel in the most
// significant bit, set = black). The quarter turns transpose whole 8 x 8 blocks and trust their caller;
// funcRotateBWImage checks its input first. Source and destination must not overlap.
#pragma once

#include <cstdint>

namespace zc::imaging {

// Rotation code: quarter turns counter-clockwise (0 copy, 1 counter-clockwise, 2 half turn, 3 clockwise).
// 0; 1 width not a multiple of 8; 2 height not a multiple of 8; 5 more than 65536 bytes; 3 bad code, tested
// in that order, nothing written on failure.
int funcRotateBWImage(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height,
                      int code);

// Destination height pixels wide and width rows high (rows of height / 8 bytes). 0.
int funcRotateBW90Left(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height);
int funcRotateBW90Right(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height);

// Byte with its 8 bits in reverse order.
uint8_t ReverseBits(uint8_t b);

}  // namespace zc::imaging
