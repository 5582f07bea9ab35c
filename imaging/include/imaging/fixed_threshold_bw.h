// Fixed-threshold black-and-white rendering of 4-, 8- and 24-bit records, with the darkening of compact
// mid-gray blobs (stamps and faint marks) that would otherwise drop out at a low threshold.
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

// Writes a 1-bit record of the source's size into `output` (header first, even when the depth is then
// refused): a pixel is black when its gray value <= threshold. 4 bits: the left pixel is judged by the
// whole byte, the right one by its nibble * 16; 24 bits through the byte gray tables. The source may be
// changed in place by funcDarkenGrayBlobs first. 0, or -552 for another depth or a record that does not
// fit its buffer (source or output).
int funcConvGrayToBW(std::span<uint8_t> source, int threshold, std::span<uint8_t> output);

// Paints compact mid-gray (64..128) blobs of an 8-bit record black, in the region parameter 171 selects
// (bit 0: the lower right quarter short of its right and bottom strips; bit 1: the whole image). Nothing
// is changed when more than an eighth of the region would be painted. Other depths, records narrower than
// 100 and taller than 100 pixels, and empty regions are left alone. 0, or -106 without memory.
int funcDarkenGrayBlobs(std::span<uint8_t> image);

}  // namespace zc::imaging
