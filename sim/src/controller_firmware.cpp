// The later series' controller firmware download, shared by the series that boot into a loader.
#include "sim/controller_firmware.h"

#include "driver/device_registry.h"
#include "sim/catalog.h"

namespace sim {
namespace {

constexpr size_t kControlBlock = 10;
constexpr uint8_t kCodeFirmwareHigh = 0x12;
constexpr uint8_t kCodeMemoryWrite = 0xA0;

}  // namespace

void ControllerFirmware::Boot() {
  const std::string model = device_.identity().model;
  for (const ModelInfo& info : AllModels()) {
    if (model == info.modelText) {
      loader_ = FirmwareLoader(FirmwareLoader::Stage::kBootLoader, info.running);
      return;
    }
  }
}

void ControllerFirmware::OnControl(const drv::Reply& reply, uint32_t code, std::span<const uint8_t> in,
                                   std::span<uint8_t> out) {
  if (!reply.ok || code != LaterSeriesDevice::kIoctlVendorRequest || in.size() < kControlBlock || in[0] != 0)
    return;
  if (in[4] != kCodeFirmwareHigh && in[4] != kCodeMemoryWrite) return;
  auto address = static_cast<uint16_t>(in[6] | (in[7] << 8));
  if (auto started = loader_.OnMemoryWrite(address, out)) OnStarted(*started);
}

void ControllerFirmware::OnStarted(FirmwareLoader::Stage stage) {
  if (stage == FirmwareLoader::Stage::kFirmware && loader_.firmwareDownloads() > 0) {
    Identity running = device_.identity();
    if (running.state == "BOOT") running.state = runningState_(device_.codes());
    if (auto texts = FirmwareLoader::TextsOf(loader_.firmwareImage())) {
      running.manufacturer = texts->manufacturer;
      running.version = texts->version;
    }
    device_.SetIdentity(running);
    device_.SetCodes(loader_.runningCodes());
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

FirmwareLoader::Stage ControllerFirmware::stage() const {
  std::lock_guard lock(lock_);
  return loader_.stage();
}

int ControllerFirmware::downloads() const {
  std::lock_guard lock(lock_);
  return loader_.firmwareDownloads();
}

void ControllerFirmware::SetReenumeration(std::string name, uint32_t failedOpens) {
  std::lock_guard lock(lock_);
  reenumerateName_ = std::move(name);
  reenumerateOpens_ = failedOpens;
}

}  // namespace sim
