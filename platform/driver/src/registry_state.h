// Shared state of the driver-device registry and the calls routed through it (private to zc_driver).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "driver/device_registry.h"

namespace drv::detail {

struct Attachment {
  std::string name;
  std::shared_ptr<SimDevice> device;
  bool present = true;  // false once unplugged; guarded by State::mu
  size_t openHandles = 0;
  bool exclusive = false;
  std::mutex callMu;  // one call at a time reaches the device
};

struct OpenHandle {
  std::string name;  // as the caller spelled it
  std::shared_ptr<Attachment> attachment;
};

struct PendingFault {
  Fault fault;
  uint32_t skipLeft = 0;
  uint32_t usesLeft = 0;  // 0: unlimited
};

struct State {
  mutable std::mutex mu;
  std::map<std::string, std::shared_ptr<Attachment>> attached;  // keyed by lower-case name
  std::map<Handle, OpenHandle> handles;
  Handle nextHandle = 0x1000;
  std::map<std::string, std::deque<PendingFault>> faults;
  std::map<std::string, size_t> opens;
  std::map<std::string, size_t> closes;
  bool traceEnabled = false;
  size_t traceLimit = DeviceRegistry::kDefaultTraceRecords;
  std::deque<TraceRecord> trace;
  uint32_t garbageSeed = 0x9E3779B9u;
};

State& GetState();
std::string Key(const std::string& name);
// Takes the first fault that applies to a call of `kind` (and `code`) on the device `key`; call with
// State::mu held.
std::optional<Fault> TakeFault(State& state, const std::string& key, CallKind kind, uint32_t code);
// Unplugs the attachment; call with State::mu held.
void Unplug(State& state, const std::shared_ptr<Attachment>& attachment);
// Appends a record when tracing is on; call with State::mu held.
void AddTrace(State& state, TraceRecord record);

}  // namespace drv::detail
