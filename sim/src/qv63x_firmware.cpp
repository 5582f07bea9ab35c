// The simulated QV63x controller (the QV9120 and QV64x ones too): a scanner attached with boot-loader codes
// runs its boot loader until the host has sent a loader and then the firmware; it then re-enumerates with its
// running codes and the manufacturer and version texts of the firmware it was given.
#include "sim/qv63x_device.h"

namespace sim {

// Product codes of the QV63x command set's canned identities: 22 reports the state "DR", 23 and 30 "SD".
bool Qv63xDevice::IsBootProduct(uint8_t product) const {
  return product == 22 || product == 23 || product == 30;
}

std::string Qv63xDevice::RunningState(const IdentificationCodes& bootCodes) {
  return bootCodes.product == 22 ? "DR" : "SD";
}

void Qv63xDevice::InitFirmware() {
  // The QV9120 and QV64x controllers load as the QV63x one does.
  if (IsBootProduct(codes().product)) controller_.Boot();
}

drv::Reply Qv63xDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  drv::Reply reply = LaterSeriesTemplate::Control(code, in, out);
  controller_.OnControl(reply, code, in, out);
  return reply;
}

}  // namespace sim
