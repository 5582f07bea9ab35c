// PackBits decoding.
#include "codec/formats/packbits.h"

#include <algorithm>
#include <cstring>

namespace zc::codec::fmt {

bool unpackBitsRow(SourceReader& source, uint8_t* out, size_t count) {
  size_t i = 0;
  while (i < count) {
    const int c = source.next();
    if (c < 0) return false;
    const int n = static_cast<int8_t>(c);
    if (n >= 0) {
      const size_t literal = static_cast<size_t>(n) + 1;
      const size_t kept = std::min(literal, count - i);
      if (source.read(out + i, kept) != kept || !source.skip(literal - kept)) return false;
      i += kept;
    } else if (n != -128) {
      const int v = source.next();
      if (v < 0) return false;
      const size_t run = std::min(static_cast<size_t>(1 - n), count - i);
      std::memset(out + i, v, run);
      i += run;
    }
  }
  return true;
}

}  // namespace zc::codec::fmt
