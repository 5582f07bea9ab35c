// Document length of an assembled side: how many rows, from the first stored one, belong to the document
// rather than to the dark track above it. The search walks down from the last stored row, two rows at a
// time through background and one at a time through document rows, and accepts the document edge after
// more than 2 mm of consecutive rows that each hold a bright run longer than 2 mm (brightness above 64;
// a colour pixel is dark when all three channels are). The result keeps a margin of 2 mm plus three rows
// above the accepted run.
#pragma once

#include <cstdint>

namespace sim::documents {

struct ExpectedImage;

// Rows to keep of a 4-, 8- or 24-bit image at `dpi` (4 bits: each nibble against the dark level scaled to a
// nibble); other depths keep the full height.
unsigned DocumentLength(const ExpectedImage& image);

}  // namespace sim::documents
