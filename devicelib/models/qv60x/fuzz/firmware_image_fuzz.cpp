// Fuzz entry for the firmware image QV6UpdateFirmw hands to the first series: any bytes as the image,
// downloaded in chunks to the simulated scanner and closed by the checksum command. Byte 0 chooses the
// scanner's faults (bits 0-2: the n-th image chunk is refused; bit 3: the scanner is still in update mode
// from a load cut off earlier; bit 4: an empty file, which reaches the update without an image buffer);
// the rest is the image. An update reported done must have left exactly the image in the scanner, with
// a matching checksum.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "platform/clock.h"
#include "qv6/qv60x/qv6xx_commands.h"
#include "sim/catalog.h"
#include "sim/qv60x_device.h"
#include "transport/bulk_layer.h"
#include "transport/scanner_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t faults = data[0];
  // An exact-size copy, so a read past the image is a read past its heap block.
  std::vector<uint8_t> image(data + 1, data + size);
  const bool empty = (faults & 16) != 0;
  if (empty) image.clear();

  plat::UseVirtualClock(0, true);
  drv::DeviceRegistry::Instance().Reset();
  qv6::BulkLayer::Reset();
  auto device = std::static_pointer_cast<sim::Qv60xDevice>(sim::AttachScanner(sim::Model::kQv600));
  if (faults & 7) device->FailFirmwareChunk(faults & 7);
  if (faults & 8)
    device->LeaveInUpdateMode(std::vector<uint8_t>(image.begin(), image.begin() + image.size() / 2));
  {
    qv6::ScannerInterface transport;
    const int done = qv6::UpdateFirstSeriesFirmware(transport, empty ? nullptr : image.data(), image.size());
    if (done != 0 && done != 1) __builtin_trap();
    if (done == 1 && (device->LoadedImage() != image || !device->checksumMatched())) __builtin_trap();
    transport.Close();
  }
  drv::DeviceRegistry::Instance().Reset();
  plat::UseRealClock();
  return 0;
}
