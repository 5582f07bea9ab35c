// Packed firmware versions: the four numbers a.b.c.d of a version text in one 64-bit word, a in the
// most significant 16 bits, so that comparing packed words as unsigned numbers compares versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv6 {

// Packs four 16-bit version numbers; each is taken modulo 65536.
constexpr uint64_t PackVersion(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (uint64_t{a & 0xFFFFu} << 48) | (uint64_t{b & 0xFFFFu} << 32) | (uint64_t{c & 0xFFFFu} << 16) |
         uint64_t{d & 0xFFFFu};
}

// Reads the leftmost four dot-separated digit runs a.b.c.d of the text; 0 when there are none.
// "V2.10.0.7" gives 2.10.0.7, "x1.2.3.4.5" gives 1.2.3.4, "1.2.3" gives 0.
uint64_t ParseVersionText(std::string_view text);

// Matches "d+.d+.d+.d+" at pos (a digit). On success stores the end of the match and the packed version.
bool MatchVersionAt(std::string_view text, size_t pos, size_t* end, uint64_t* version);

}  // namespace qv6
