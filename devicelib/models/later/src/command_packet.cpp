// Command packets from the opcode table.
#include "qv6/later/command_packet.h"

namespace qv6 {

namespace later {
std::span<const OpcodeSpec> Qv63xOpcodes() {
  static constexpr OpcodeSpec kTable[] = {{1, 5}, {2, 0}, {3, 0},  {4, 0},  {5, 2}, {7, 0},
                                          {8, 1}, {9, 2}, {10, 2}, {11, 2}, {12, 5}};
  return kTable;
}
}  // namespace later

std::vector<uint8_t> PackCommand(const DeviceCommandRequest& request, std::span<const OpcodeSpec> table) {
  for (const OpcodeSpec& spec : table) {
    if (spec.opcode != request.opcode) continue;
    std::vector<uint8_t> packet = {0, request.opcode};
    packet.insert(packet.end(), request.p.begin(), request.p.begin() + spec.parameters);
    return packet;
  }
  return {};
}

}  // namespace qv6
