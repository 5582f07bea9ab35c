// Reference-line search of two-dimensional coding (ITU-T T.4 section 4.2.1.3.1), shared by
// the encoder and the decoder so both find the same b1 and b2.
#pragma once

#include <cstdint>

namespace zc::codec {

// Walks a reference change list (strictly increasing, closed by at least five copies of the
// width) as a0 moves right. Entry j is a change to black when j is even. b1 is the first
// change right of a0 (at the line start: at or right of 0) to the colour opposite a0's;
// b2 is the change after it.
struct FaxReferenceWalk {
  const uint32_t* ref;
  int j = 0;  // first entry right of a0

  // Index of b1 for a0 (< width) of colour `colour` (0 white, 1 black).
  int findB1(uint32_t a0, bool atStart, int colour) {
    if (!atStart) {
      while (ref[j] <= a0) ++j;
    }
    return (j & 1) != colour ? j + 1 : j;
  }
};

}  // namespace zc::codec
