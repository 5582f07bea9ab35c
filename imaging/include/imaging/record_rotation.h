// Quarter turns of whole image records and a top-margin search, kept with the file writers' module as part
// of its interface; the program itself does not call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zc::imaging {

// The 8-bit record turned a quarter counter-clockwise into `destination` (width and height exchanged, the
// same dpi): destination pixel (y, width - 1 - x) is source pixel (x, y). 1; -552 for a record that is not
// 8 bits or does not fit its buffer, or a destination too small.
int funcRotateImage8Left(std::span<const uint8_t> record, std::span<uint8_t> destination);

// The 1-bit record turned a quarter counter-clockwise the same way, through the 8 x 8 block rotation in
// strips of at most 128 rows. 1; -106 without memory for a strip; -552 as above for 1-bit records.
int funcRotateImage1(std::span<const uint8_t> record, std::span<uint8_t> destination);

// Rows of `width` gray bytes, top first. The first row from `start` down in which at least 2 of the ten
// sampled bytes (columns (width / 12) x (i + 1), i = 0..9, as the DIB cropper samples) exceed `threshold`:
// the top edge of a bright document on the dark scanner background. -1 when no row qualifies or the
// arguments are unusable.
int funcFindTopMargin(const uint8_t* pixels, int unused1, int height, int width, int unused2, int start,
                      int threshold);

}  // namespace zc::imaging
