// Input of the bilevel decoder: reads from a file descriptor or from memory within a
// byte limit, and from the strips of a FaxStripTable; optional bit reversal (FillOrder 2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bilevel/image_view.h"

namespace zc::codec {

// Reads up to `count` bytes (cut to *byteLimit, which is reduced) from the file at `offset`
// or from memory at address `offset` (handle -1). The first read positions the file or sets
// *memReadAddress; later reads continue from there. A file read that returns at least 2
// bytes fewer than asked is followed by up to 16 bytes of the EOL pattern 00 01 (within
// `count`). Returns the bytes obtained, -1 on a file error.
int64_t funcFaxReadInput(int handle, uint8_t* destination, int64_t count, int reverseBits, int firstRead,
                         uintptr_t offset, int64_t* byteLimit, const uint8_t** memReadAddress);

// The same within the current strip of `table`; past the last strip it writes the EOL
// pattern and reports 16 bytes (within `count`).
int64_t funcFaxReadStrip(int handle, uint8_t* destination, int64_t count, int reverseBits,
                         FaxStripTable* table, int firstRead);

}  // namespace zc::codec
