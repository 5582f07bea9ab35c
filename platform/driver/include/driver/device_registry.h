// The process-wide registry of simulated driver devices: device names ("\\.\usbbulk0", "\\.\KScanDrv-0",
// ...) mapped to the objects that answer for them. Tests and programs attach and detach devices at run
// time, inject faults per name and read the trace of every call.
//
// Names are compared without regard to case, as the system's object names are. Detaching a device makes
// every handle still open on it fail with ERROR_DEVICE_NOT_CONNECTED and every new open fail with
// ERROR_FILE_NOT_FOUND until a device is attached under the name again.
//
// The call trace is off until a test or program turns it on, and keeps only the newest records, so a
// long run does not grow it without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/fault.h"
#include "driver/sim_device.h"
#include "driver/trace.h"

namespace drv {

class DeviceRegistry {
 public:
  static DeviceRegistry& Instance();

  // Attaches `device` under `name`, replacing (and so unplugging) any device attached there.
  void Attach(const std::string& name, std::shared_ptr<SimDevice> device);
  // Unplugs the device attached under `name`; false when none was.
  bool Detach(const std::string& name);
  bool IsAttached(const std::string& name) const;
  std::shared_ptr<SimDevice> Find(const std::string& name) const;

  // Faults are kept per name (they outlive a detach) and consumed in the order they were added.
  void AddFault(const std::string& name, const Fault& fault);
  void ClearFaults();

  // Opens and closes counted per name since the last Reset (failed opens are not counted).
  size_t OpenCount(const std::string& name) const;
  size_t CloseCount(const std::string& name) const;
  // Handles currently open on the name.
  size_t OpenHandles(const std::string& name) const;

  static constexpr size_t kDefaultTraceRecords = 4096;
  // Turns the trace on or off; on, it keeps the newest `maxRecords` records (at least one). Turning it
  // off keeps what was recorded.
  void SetTraceEnabled(bool enabled, size_t maxRecords = kDefaultTraceRecords);
  bool TraceEnabled() const;
  std::vector<TraceRecord> Trace() const;
  void ClearTrace();
  // The trace as text (see FormatTranscript), for golden-file comparisons.
  std::string Transcript() const;

  // Detaches every device, forgets open handles, faults, counters and the trace, and turns tracing off.
  void Reset();

 private:
  DeviceRegistry() = default;
};

}  // namespace drv
