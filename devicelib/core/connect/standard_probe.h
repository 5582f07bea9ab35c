// StandardProbe: the connect step of one device series over its own transport.
//
// A probe opens the series' transport, reads the identity block (256 bytes) and looks its model text up in
// the model table. When a row matches, it logs "Device: <name>", creates the model through the model
// registry, and starts it: the later series with the firmware file named by the descriptor INI key of the
// model (its default when the key is missing) and the identity's state, version and manufacturer texts.
// Whatever fails on the way (no transport, no identity, no row, a class not registered, a failed start)
// leaves no model behind and the transport closed, so the next series can be tried.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "connect/model_table.h"
#include "connect/series_id.h"
#include "device/series_probe.h"

namespace qv6 {

class DriverDeviceInterface;
class ScannerInterface;

class StandardProbe : public SeriesProbe {
 public:
  static constexpr size_t kIdentitySize = 256;
  static constexpr uint32_t kFirmwareNameSize = 1000;

  explicit StandardProbe(SeriesId series);
  ~StandardProbe() override;

  SeriesId series() const { return series_; }

  // Opens the transport, reads the identity and finds the model row. On a match the transport stays open
  // and identity() holds the block; otherwise the transport is closed and the result is nullptr.
  const ModelRow* Detect();
  std::span<const uint8_t> identity() const { return identity_; }

  std::unique_ptr<DeviceModel> Probe(const ProbeContext& context) override;
  void Close() override;
  // The first series' firmware update through the registered sequence; 0 for the other series.
  int UpdateFirmware(const uint8_t* image, size_t length) override;

 private:
  int Open();
  int ReadIdentity();

  SeriesId series_;
  std::unique_ptr<ScannerInterface> bulk_;         // the first series
  std::unique_ptr<DriverDeviceInterface> driver_;  // every other series
  std::array<uint8_t, kIdentitySize> identity_{};
};

// The first series' firmware update over its transport, supplied by the first series' command set (the
// frame holds no command set of its own). Returns 1 or 0.
using BulkFirmwareUpdate = int (*)(ScannerInterface& transport, const uint8_t* image, size_t length);
void SetFirstSeriesFirmwareUpdate(BulkFirmwareUpdate update);

// The seven series' probes in probing order, with the order values of the series catalog.
struct StandardSeries {
  int order;
  SeriesProbeFactory factory;
};
std::span<const StandardSeries> StandardSeriesList();

}  // namespace qv6
