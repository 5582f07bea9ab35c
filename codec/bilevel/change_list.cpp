// Building change lists from packed lines, 64 pixels at a time with a leading-zero count.
#include "codec/bilevel/change_list.h"

#include <cstdlib>
#include <cstring>

namespace zc::codec {

uint32_t* allocChangeList(int width) {
  const size_t entries = static_cast<size_t>(width) + kChangeListSpare;
  auto* base = static_cast<uint32_t*>(std::calloc(entries, sizeof(uint32_t)));
  if (base == nullptr) return nullptr;
  uint32_t* list = base + kChangeListLead;
  setWhiteChangeList(list, width);
  return list;
}

void freeChangeList(uint32_t* list) {
  if (list != nullptr) std::free(list - kChangeListLead);
}

void setWhiteChangeList(uint32_t* list, int width) {
  list[-2] = 0;
  list[-1] = 0;
  for (int i = 0; i < 6; ++i) list[i] = static_cast<uint32_t>(width);
}

int funcFaxLineToChanges(const uint8_t* line, int width, uint32_t* changes) {
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  int count = 0;
  uint64_t colourMask = 0;  // all ones while inside a black run
  for (size_t byte = 0; byte < bytes; byte += 8) {
    uint64_t word = 0;
    const size_t n = bytes - byte < 8 ? bytes - byte : 8;
    for (size_t i = 0; i < n; ++i) word |= static_cast<uint64_t>(line[byte + i]) << (56 - 8 * i);
    const int64_t base = static_cast<int64_t>(byte) * 8;
    const int64_t valid = width - base;                // pixels of this word inside the line
    if (valid < 64) word &= ~(~uint64_t{0} >> valid);  // clear bits past the width
    uint64_t diff = word ^ colourMask;
    if (valid < 64) diff &= ~(~uint64_t{0} >> valid);
    int consumed = 0;  // bits of `diff` already examined
    while (diff != 0) {
      const int lead = __builtin_clzll(diff);
      changes[count++] = static_cast<uint32_t>(base + lead);
      colourMask = ~colourMask;
      consumed = lead + 1;
      // Look for the next bit of the opposite colour behind the change.
      const uint64_t rest = word ^ colourMask;
      diff = consumed >= 64 ? 0 : rest & (~uint64_t{0} >> consumed);
      if (valid < 64) diff &= ~(~uint64_t{0} >> valid);
    }
  }
  for (int i = 0; i < 6; ++i) changes[count + i] = static_cast<uint32_t>(width);
  return count;
}

}  // namespace zc::codec
