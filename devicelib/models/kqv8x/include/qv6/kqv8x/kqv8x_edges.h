// The KQv8x sensor edge search: where the lit part of a side's sensor line begins and ends, found in the
// white reference table of the side's first channel (record 256 front, 264 rear) as the turn of the
// steepest rise between two windows of four pixels.
#pragma once

#include <cstdint>
#include <span>

namespace qv6::kqv8x {

// Over positions 4 to 35: the position where, once a rise of more than twice the left window was seen,
// the rise first shrinks. 1 when there is none (or the table is too short to search).
int FindLineStart(std::span<const uint8_t> white);

// From the end of the good pixels n downwards over at most 250 positions, the same turn of the fall; n
// when there is none. n is taken as the table size when it is larger; below 8 it is the answer without a
// search, and the search never reads before the table's first byte. A count below 256 has no positions to
// search (the range is taken as unsigned) and answers n.
int FindLineEnd(std::span<const uint8_t> white, int goodPixels);

}  // namespace qv6::kqv8x
