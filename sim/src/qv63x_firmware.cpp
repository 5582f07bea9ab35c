// The simulated QV63x controller (the QV9120 and QV64x ones too): a scanner attached with boot-loader codes
// runs its boot loader until the host has sent a loader and then the firmware; it then re-enumerates with its
// running codes and the manufacturer and version texts of the firmware it was given.
#include <algorithm>

#include "driver/device_registry.h"
#include "sim/catalog.h"
#include "sim/qv63x_device.h"

namespace sim {
namespace {

constexpr size_t kControlBlock = 10;
constexpr uint8_t kCodeFirmwareHigh = 0x12;
constexpr uint8_t kCodeMemoryWrite = 0xA0;

}  // namespace

// Product codes of the QV63x command set's canned identities: 22 reports the state "DR", 23 and 30 "SD".
bool Qv63xDevice::IsBootProduct(uint8_t product) const {
  return product == 22 || product == 23 || product == 30;
}

void Qv63xDevice::InitFirmware() {
  IdentificationCodes now = codes();
  if (!IsBootProduct(now.product)) return;
  std::string model = identity().model;
  for (const ModelInfo& info : AllModels()) {
    // The QV9120 and QV64x controllers load as the QV63x one does.
    if (model == info.modelText) {
      firmware_ = FirmwareLoader(FirmwareLoader::Stage::kBootLoader, info.running);
      return;
    }
  }
}

drv::Reply Qv63xDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  drv::Reply reply = LaterSeriesTemplate::Control(code, in, out);
  // Controller memory writes: host-to-device vendor requests 12 (code 0x12) and 13 (code 0xA0).
  if (!reply.ok || code != kIoctlVendorRequest || in.size() < kControlBlock || in[0] != 0) return reply;
  if (in[4] != kCodeFirmwareHigh && in[4] != kCodeMemoryWrite) return reply;
  auto address = static_cast<uint16_t>(in[6] | (in[7] << 8));
  if (auto started = firmware_.OnMemoryWrite(address, out)) OnControllerStarted(*started);
  return reply;
}

void Qv63xDevice::OnControllerStarted(FirmwareLoader::Stage stage) {
  if (stage == FirmwareLoader::Stage::kFirmware && firmware_.firmwareDownloads() > 0) {
    Identity running = identity();
    if (running.state == "BOOT") running.state = codes().product == 22 ? "DR" : "SD";
    if (auto texts = FirmwareLoader::TextsOf(firmware_.firmwareImage())) {
      running.manufacturer = texts->manufacturer;
      running.version = texts->version;
    }
    SetIdentity(running);
    SetCodes(firmware_.runningCodes());
  }
  // The controller's restart drops it off the bus for a while.
  if (!reenumerateName_.empty() && reenumerateOpens_ > 0) {
    drv::Fault gone;
    gone.kind = drv::FaultKind::kFail;
    gone.on = drv::CallKind::kOpen;
    gone.error = drv::kErrorFileNotFound;
    gone.count = reenumerateOpens_ == UINT32_MAX ? 0 : reenumerateOpens_;
    drv::DeviceRegistry::Instance().AddFault(reenumerateName_, gone);
  }
}

FirmwareLoader::Stage Qv63xDevice::FirmwareStage() const {
  std::lock_guard lock(mutex_);
  return firmware_.stage();
}

int Qv63xDevice::FirmwareDownloads() const {
  std::lock_guard lock(mutex_);
  return firmware_.firmwareDownloads();
}

void Qv63xDevice::SetReenumeration(std::string name, uint32_t failedOpens) {
  std::lock_guard lock(mutex_);
  reenumerateName_ = std::move(name);
  reenumerateOpens_ = failedOpens;
}

}  // namespace sim
