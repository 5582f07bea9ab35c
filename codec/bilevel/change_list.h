// Change lists, the internal form of a bilevel line: the positions at which the colour
// changes (first black pixel, next white pixel, ...), closed by the width repeated.
// Each list stands two zero entries into its allocation of width + 20 positions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zc::codec {

inline constexpr int kChangeListLead = 2;
inline constexpr int kChangeListSpare = 20;

// Allocation of a list for `width` pixels, returned at its start (two zeros before it);
// initialised to the all-white line. Free with freeChangeList.
uint32_t* allocChangeList(int width);
void freeChangeList(uint32_t* list);
void setWhiteChangeList(uint32_t* list, int width);

// Converts a packed line ((width + 7) / 8 bytes, MSB first, set bit = black; bits past the
// width are ignored) into `changes`; returns the number of changes before the closing
// copies of the width (at most width + 1).
int funcFaxLineToChanges(const uint8_t* line, int width, uint32_t* changes);

}  // namespace zc::codec
