// Restart marker handling between restart intervals (ITU-T T.81 B.2.1, E.2.4).
#pragma once

#include "codec/jpeg/decoder/jpeg_bit_reader.h"
#include "codec/jpeg/decoder/jpeg_source.h"

namespace zc::jpegdec {

// Drops the rest of the interval's bytes and the bit buffer, then consumes RSTn with n = `expected`
// (advanced modulo 8). With `allow_eoi`, an EOI in its place is left unconsumed and accepted. Any other
// marker, or the end of the data, throws 37.
void ProcessRestart(InputWindow& win, BitReader& br, int& expected, bool allow_eoi);

}  // namespace zc::jpegdec
