// Histogram-adaptive black-and-white rendering of 8- and 24-bit cheque records: a threshold halfway between
// the dark and light levels of the histogram, a running local mean that keeps light pixels in dark areas
// white, and a fixed threshold of 64 in the bottom 90 rows where the code line lies.
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

inline constexpr unsigned kBwCleanUpFilter = 0x200;

// Renders `source` into the 1-bit record `output` (width w, height h, the source's resolution); only the
// first w / 8 whole bytes of each row are rendered, so the last w mod 8 pixels stay white. Of the options
// only kBwCleanUpFilter is used. 0; -125 when no scanner type is known; -552 for a depth other than 8 or 24,
// a height below 108, a size above 2048 x 940 (3072 x 1500 at parameter 6 = 4), or a buffer the records
// do not fit; -106 without memory. Without an output record the image goes to `outputName` (a G4 file or
// an "MD:" target) and the result is the TIFF header writer's (1, or -105 / -233).
int funcConvGrayArea(std::span<const uint8_t> source, const char* outputName, std::span<uint8_t> output,
                     unsigned options);

}  // namespace zc::imaging
