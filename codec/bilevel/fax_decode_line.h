// One-line entry of the bilevel decoder, by decoder mode (low 8 bits of the mode value):
// 0 T.4 1D with EOLs, 1 T.6 with the uncompressed extension, 2 T.4 2D (EOL + tag), 3 raw,
// 4 the encoder's mode 4, 5 T.4 1D byte-aligned without EOL (TIFF Compression 2),
// 7 byte-run, 10 PackBits, 11 T.6 without extensions; 6, 8, 9 and others are not decoded.
#pragma once

#include <cstdint>

namespace zc::codec {

// Decodes the line `lineIndex` from `input` into `cur` against `ref`. `inputFill` bytes
// of `input` are data, and 16 readable bytes must follow them (the decoder's EOL sentinel).
// *pos, *acc and *bitCount carry the read position between lines (byte index, and the
// 0..7 bits of a partly used byte, left-aligned). Returns 0, 2 (end of data) or 3.
int funcFaxDecodeLine(int mode, const uint32_t* ref, uint32_t* cur, int width, int lineIndex,
                      const uint8_t* input, int32_t inputFill, int32_t* pos, uint32_t* acc,
                      int32_t* bitCount);

inline constexpr int32_t kFaxSentinelBytes = 16;

}  // namespace zc::codec
