// The VEKQv5xx command set.
#include "qv6/vekqv5xx/vekqv5xx_commands.h"

#include "platform/clock.h"

namespace qv6 {
namespace {

std::span<const OpcodeSpec> VEKQv5xxOpcodes() {
  // The later series' table with a two-byte eject and without the maintenance opcode (11).
  static constexpr OpcodeSpec kTable[] = {{1, 5}, {2, 2}, {3, 0}, {4, 0},  {5, 2},
                                          {7, 0}, {8, 1}, {9, 2}, {10, 2}, {12, 5}};
  return kTable;
}

}  // namespace

const CommandSetTraits& VEKQv5xxCommands::VEKQv5xxTraits() {
  static const CommandSetTraits traits{"RM70FWLoadertoUpload.bin", VEKQv5xxOpcodes(), 0x6F00, kLowAddressLimit,
                                       SeriesId::kVekQv5xx};
  return traits;
}

int VEKQv5xxCommands::DownloadFirmware(std::span<const uint8_t> /*loader*/, std::span<const uint8_t> firmware) {
  SetCpuReset(1);
  plat::Sleep(kResetSettleMs);
  if (!DownloadRecords(firmware)) {
    SetCpuReset(1);
    return 0;
  }
  SetCpuReset(1);
  SetCpuReset(0);
  return Reopen();
}

}  // namespace qv6
