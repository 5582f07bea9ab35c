// The facts in which the simulated series differ, as data: the size of the status block the host reads
// (block type 2), whether the series has the two-byte status word block (type 3), and the size of the
// EEPROM byte array behind requests 10 and 11.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

struct SeriesTraits {
  const char* name;
  size_t statusBlockSize;
  bool hasStatusWord;
  size_t eepromSize;
};

inline constexpr uint16_t kStatusBlock = 2;
inline constexpr uint16_t kStatusWordBlock = 3;

}  // namespace sim
