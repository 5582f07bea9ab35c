// PCX writer: a 128-byte header, run-length coded rows (1-bit, 4-bit as four bit planes, 8-bit),
// and for 8-bit images the 256-colour palette trailer. 8-bit files are labelled version 5, the
// version that announces the trailer; 1- and 4-bit files carry their palette in the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/core/img_desc.h"

namespace zc::codec {

// Start for the tag "PCX": 0, or -1 with 1 (handle 0), 38 (no palette or RGB input), 15 (bits not
// 1, 4 or 8, after the header), 19 (short write), 2 (memory).
int funcPcxCompStart(ImgCompDesc* desc);
// Writes the palette trailer of an 8-bit image (1 when written; -1 with 3 or 19) and frees; else 0.
int funcPcxCompEnd(ImgCompDesc* desc);

namespace fmt {
// Run-length codes one line: runs of 2..63 equal bytes, and single bytes of 0xC0 and above, become a
// count byte 0xC0 + n and the value; longer runs are split into runs of 63 first.
void pcxEncodeLine(const uint8_t* line, size_t count, std::vector<uint8_t>& out);
}  // namespace fmt

}  // namespace zc::codec
