// KQv8xCommands: the later series' command set as the KQv8x scanner takes it: no franker opcode (12),
// EEPROM transfers of up to 0xF000 bytes whose lengths are taken as 16-bit values, and its own
// identification rules (product 36 running; 31 with board 36 its boot loader's "NO FW" identity).
#pragma once

#include "qv6/later/later_commands.h"

namespace qv6 {

class KQv8xCommands : public Qv63xCommands {
 public:
  static constexpr uint32_t kEepromLimit = 0xF000;

  explicit KQv8xCommands(DriverDeviceInterface& transport) : Qv63xCommands(transport, KQv8xTraits()) {}
  static const CommandSetTraits& KQv8xTraits();

  // A refused scanner (a boot loader on another board) leaves the caller's buffer as it was.
  int Identify(uint8_t* buffer, size_t size) override;
  // The length counts as a 16-bit value, then at most 0xF000 bytes move.
  int WriteData(const uint8_t* data, int length) override;
  int ReadData(uint8_t* buffer, int length) override;
};

// The KQv8 talks through it; it changes nothing.
class KQv8Commands : public KQv8xCommands {
 public:
  using KQv8xCommands::KQv8xCommands;
};

}  // namespace qv6
