// FirmwareRecord: one 20-byte record of a firmware or loader list: byte 0 the number of data bytes (at most
// 16), bytes 1-2 the load address least significant byte first, byte 3 the end flag (non-zero on the last
// record, which carries no data), bytes 4-19 the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qv6 {

struct FirmwareRecord {
  static constexpr size_t kSize = 20;
  static constexpr size_t kMaxData = 16;

  uint8_t count = 0;
  uint16_t address = 0;
  bool end = false;
  std::span<const uint8_t> data;  // count bytes inside the list

  // The records of a list up to and including its end record. nullopt when a record before the end
  // claims more than 16 data bytes or no end record lies inside the bytes given.
  static std::optional<std::vector<FirmwareRecord>> ParseList(std::span<const uint8_t> list);
};

}  // namespace qv6
