// VEKQv5xxCommands: the later series' command set as the RM 70 scanners take it: the eject (opcode 2)
// carries two parameter bytes, the maintenance opcode (11) is never sent, firmware records split at
// 0x3FFF, no loader goes to the scanner before its firmware, and identities are read at most 118 bytes
// long (boot loader 24 on board 21 or 32: the canned RM 70 / RM 70 KF identity).
#pragma once

#include "qv6/later/later_commands.h"

namespace qv6 {

class VEKQv5xxCommands : public Qv63xCommands {
 public:
  static constexpr uint16_t kLowAddressLimit = 0x3FFF;
  static constexpr uint32_t kResetSettleMs = 50;

  explicit VEKQv5xxCommands(DriverDeviceInterface& transport) : Qv63xCommands(transport, VEKQv5xxTraits()) {}
  static const CommandSetTraits& VEKQv5xxTraits();

  // Only the firmware records go to the scanner; `loader` is ignored.
  int DownloadFirmware(std::span<const uint8_t> loader, std::span<const uint8_t> firmware) override;
};

// The RM 70 and RM 70 KF talk through it; it changes nothing.
class VEKQv500Commands : public VEKQv5xxCommands {
 public:
  using VEKQv5xxCommands::VEKQv5xxCommands;
};

}  // namespace qv6
