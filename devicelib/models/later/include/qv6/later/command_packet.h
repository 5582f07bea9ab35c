// DeviceCommandRequest: the short commands of the later series that carry no block. On the wire a command
// is a packet of a 0 byte, the opcode and the parameters that the opcode takes; the opcode table (which
// opcodes a series sends and with how many parameters) is the series' own.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qv6 {

struct DeviceCommandRequest {
  uint8_t opcode = 0;
  std::array<uint8_t, 5> p{};
};

struct OpcodeSpec {
  uint8_t opcode;
  uint8_t parameters;
};

namespace later {
enum Opcode : uint8_t {
  kOpFeed = 1,
  kOpEject = 2,
  kOpClearPowerOn = 3,
  kOpMechLoaded = 4,
  kOpDoubleFeedPwm = 5,
  kOpConfigApplied = 7,
  kOpClearErrors = 8,
  kOpPocket = 10,
  kOpMaintenance = 11,
};
// Opcodes 1-5 and 7-12 of the QV63x command set.
std::span<const OpcodeSpec> Qv63xOpcodes();
}  // namespace later

// The packet of a request; empty when the table does not send the opcode.
std::vector<uint8_t> PackCommand(const DeviceCommandRequest& request, std::span<const OpcodeSpec> table);

}  // namespace qv6
