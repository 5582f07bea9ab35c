// Packed DIB to ImageRecord: a 1-bit record by threshold, or a copy at the DIB's own depth, with an
// optional optical reading of the code line on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zc::imaging {

// Packs the bottom-up rows of a 4- or 8-bit DIB (`stride` bytes apart in `pixels`) into a 1-bit record,
// black where the level (4 bit: nibble * 16) is at or below `threshold`. The record size (8 for other
// depths, which write the header only); -102 for null buffers, -552 when the rows do not lie inside
// `pixels` or the record does not fit `record`.
int funcDIBToBWImage(std::span<const uint8_t> pixels, std::span<uint8_t> record, int width, int height,
                     int bitCount, size_t stride, int dpi, int threshold);

// Mode 1: a 1-bit record by `bwThreshold`; any other mode a copy at the DIB's depth (24-bit DIBs are
// left in red, green, blue order). The crop flag and threshold are accepted and not used. With a
// code-line buffer (`codeLineRoom` bytes) the optical reading runs as configured; it never changes the
// result. The record size; -102 null record, -104/-105 a DIB header that fails its checks, -552 a record
// buffer too small.
int funcDIBToImage(std::span<uint8_t> dib, std::span<uint8_t> record, int mode, int cropFlag, int cropThreshold,
                   int bwThreshold, int dpi, char* codeLine, size_t codeLineRoom);

// The optical code-line readers the conversions hand their images to. The API installs them; without
// them the conversions read no code line.
struct DibCodeLineReaders {
  int (*fromGrayImage)(std::span<const uint8_t> record, char* codeLine, size_t room);
  int (*fromBWImage)(std::span<const uint8_t> record, char* codeLine, size_t room);
  int (*fromGrayRows)(std::span<const uint8_t> rows, int width, int height, size_t stride, int bits, int dpi,
                      char* codeLine, size_t room);
};
void SetDibCodeLineReaders(const DibCodeLineReaders* readers);

// The installed readers when the optical check applies (parameter 116 on, parameter 2 (font) E13B, a
// buffer and 200 dpi), else null.
const DibCodeLineReaders* DibCodeLineCheck(const char* codeLine, int dpi);

}  // namespace zc::imaging
