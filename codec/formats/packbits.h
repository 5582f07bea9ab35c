// PackBits row decoding (TIFF 6.0 section 9): a control byte n of 0..127 copies the next n + 1
// bytes, -127..-1 repeats the next byte 1 - n times, -128 does nothing. Each row is coded on its
// own, so a run that would pass the end of the row is cut there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/formats/source_reader.h"

namespace zc::codec::fmt {

// Decodes one row of `count` bytes; false when the data ends first.
bool unpackBitsRow(SourceReader& source, uint8_t* out, size_t count);

}  // namespace zc::codec::fmt
