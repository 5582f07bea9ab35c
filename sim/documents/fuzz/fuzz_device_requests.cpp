// Fuzz entry for the host's requests that shape the simulated scanner's image data: the first bytes as an
// acquisition block's channel records, the rest as an image-transfer block, rendered against a small
// side. Every accepted request must give exactly lines x pixels bytes, or nothing when refused.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/documents/channel_lights.h"
#include "sim/documents/sensor_scan.h"
#include "sim/documents/transfer_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sim::documents;
  const std::span<const uint8_t> in(data, size);
  const size_t split = size > 12 ? size - 12 : 0;
  static const SideImage kImage(24, 10, 200);
  SideScan scan;
  scan.image = &kImage;
  scan.sensor = SensorGeometry{4, 40, 48, (size & 1) != 0, 2};
  if (auto lights = LightsFromAcquisitionBlock(in.first(split), static_cast<int>(size & 2) >> 1)) {
    scan.lights = *lights;
  }
  const auto block = ParseTransferBlock(in.subspan(split));
  if (!block) return 0;
  TransferRequest r = block->request;
  // Keep the work small: the fuzzer looks for bad bounds, not big images.
  if (static_cast<size_t>(r.Lines()) * static_cast<size_t>(r.Pixels()) > (size_t{1} << 20)) return 0;
  const auto raw = RenderRawLines(scan, r);
  if (!raw.empty() && raw.size() != static_cast<size_t>(r.Lines()) * static_cast<size_t>(r.Pixels()))
    __builtin_trap();
  return 0;
}
