// ControllerFirmware: the controller of a later-series scanner attached with boot-loader codes. It runs its
// boot loader until the host has sent a loader and then the firmware (controller memory writes: host-to-
// device vendor requests 0x12 and 0xA0); it then re-enumerates with the running codes the catalogue gives
// its model and the manufacturer and version texts of the firmware it was given.
//
// What a series varies is explicit: which product codes boot (the series decides whether to call Boot) and
// the state its running identity reports in place of "BOOT" (RunningState).
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "sim/firmware_loader.h"
#include "sim/later_series_device.h"

namespace sim {

class ControllerFirmware {
 public:
  // The state text of the running identity, from the codes the controller booted with.
  using RunningState = std::string (*)(const IdentificationCodes& bootCodes);

  // `lock` is the device's own; the device outlives this object (it is a member of it).
  ControllerFirmware(LaterSeriesDevice& device, std::recursive_mutex& lock, RunningState runningState)
      : device_(device), lock_(lock), runningState_(runningState) {}

  // Starts in the boot loader, with the running codes the catalogue gives the device's model (a model it
  // does not know keeps running firmware).
  void Boot();
  // A control call the device family has answered (called with the lock held): a memory write feeds the
  // loader, and one that starts the firmware gives the device its running identity.
  void OnControl(const drv::Reply& reply, uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out);

  FirmwareLoader::Stage stage() const;
  int downloads() const;
  // After each download the device re-enumerates: opens of `name` fail this many times (UINT32_MAX: it
  // never comes back).
  void SetReenumeration(std::string name, uint32_t failedOpens);

 private:
  void OnStarted(FirmwareLoader::Stage stage);

  LaterSeriesDevice& device_;
  std::recursive_mutex& lock_;
  RunningState runningState_;
  FirmwareLoader loader_;
  std::string reenumerateName_;
  uint32_t reenumerateOpens_ = 0;
};

}  // namespace sim
