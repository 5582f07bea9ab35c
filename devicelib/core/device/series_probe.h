// SeriesProbe: how a connection finds the scanner of one device series.
//
// A connection owns one probe per series, in the fixed probing order; each probe owns that series'
// transport. Connecting asks each probe in turn until one hands back a started model. The SeriesCatalog
// holds the standard series' probe factories (connect/standard_probe.h) and any registered beside them;
// every new connection creates its probes from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_model.h"

namespace qv6 {

// What a probe needs of its connection: the descriptor INI file and section copied at opening.
struct ProbeContext {
  std::string descriptorIni;
  std::string descriptorSection;
  FirmwareUpdateView* firmwareView = nullptr;  // the connection's diagnostics dialog
};

class SeriesProbe {
 public:
  virtual ~SeriesProbe() = default;

  // Opens the series' transport, reads the identity block, and when a model of this series answers,
  // creates and starts it. Returns nullptr, with the transport closed and no model left behind, when
  // nothing of this series answers or its start-up fails.
  virtual std::unique_ptr<DeviceModel> Probe(const ProbeContext& context) = 0;
  // Closes the series' transport (after a disconnect or a failed connect); harmless when closed.
  virtual void Close() = 0;
  // Firmware download through this series' transport without a model; 0 when the series has none.
  virtual int UpdateFirmware(const uint8_t* /*image*/, size_t /*length*/) { return 0; }
};

using SeriesProbeFactory = std::unique_ptr<SeriesProbe> (*)();

// Probe order of the series: lower first.
enum class SeriesOrder : int {
  kFirstSeries = 10,
  kQv62x = 20,
  kQv63x = 30,
  kQv64x = 40,
  kQv9120 = 50,
  kVekQv5xx = 60,
  kKQv8x = 70,
};

class SeriesCatalog {
 public:
  // Adds a series; a factory registered twice is kept once.
  static void Register(int order, SeriesProbeFactory factory);
  static void Unregister(SeriesProbeFactory factory);
  // One fresh probe per registered series, in probing order.
  static std::vector<std::unique_ptr<SeriesProbe>> CreateProbes();
};

}  // namespace qv6
