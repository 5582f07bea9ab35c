// The registry of simulated driver devices: attach and detach, per-name faults, counters and the trace.
#include "driver/device_registry.h"

#include <algorithm>
#include <cctype>

#include "registry_state.h"

namespace drv {
namespace detail {

State& GetState() {
  // Never destroyed: connections closed from static destructors at exit still find their devices.
  static State* state = new State;
  return *state;
}

std::string Key(const std::string& name) {
  std::string key = name;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}

namespace {
bool Matches(const Fault& fault, CallKind kind, uint32_t code) {
  bool kindMatches = fault.on == kind ||
                     (fault.on == CallKind::kAnyIo &&
                      (kind == CallKind::kControl || kind == CallKind::kRead || kind == CallKind::kWrite));
  if (!kindMatches) return false;
  return fault.code == 0 || kind != CallKind::kControl || fault.code == code;
}
}  // namespace

std::optional<Fault> TakeFault(State& state, const std::string& key, CallKind kind, uint32_t code) {
  auto it = state.faults.find(key);
  if (it == state.faults.end()) return std::nullopt;
  auto& list = it->second;
  for (auto f = list.begin(); f != list.end(); ++f) {
    if (!Matches(f->fault, kind, code)) continue;
    if (f->skipLeft > 0) {
      --f->skipLeft;
      continue;
    }
    Fault taken = f->fault;
    if (f->usesLeft > 0 && --f->usesLeft == 0) list.erase(f);
    return taken;
  }
  return std::nullopt;
}

void Unplug(State& state, const std::shared_ptr<Attachment>& attachment) {
  attachment->present = false;
  auto it = state.attached.find(Key(attachment->name));
  if (it != state.attached.end() && it->second == attachment) state.attached.erase(it);
}

void AddTrace(State& state, TraceRecord record) {
  if (!state.traceEnabled) return;
  while (state.trace.size() >= state.traceLimit) state.trace.pop_front();
  state.trace.push_back(std::move(record));
}

}  // namespace detail

using detail::GetState;
using detail::Key;

DeviceRegistry& DeviceRegistry::Instance() {
  static DeviceRegistry registry;
  return registry;
}

void DeviceRegistry::Attach(const std::string& name, std::shared_ptr<SimDevice> device) {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  auto it = state.attached.find(Key(name));
  if (it != state.attached.end()) detail::Unplug(state, it->second);
  auto attachment = std::make_shared<detail::Attachment>();
  attachment->name = name;
  attachment->device = std::move(device);
  state.attached[Key(name)] = std::move(attachment);
}

bool DeviceRegistry::Detach(const std::string& name) {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  auto it = state.attached.find(Key(name));
  if (it == state.attached.end()) return false;
  detail::Unplug(state, it->second);
  return true;
}

bool DeviceRegistry::IsAttached(const std::string& name) const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  return state.attached.count(Key(name)) != 0;
}

std::shared_ptr<SimDevice> DeviceRegistry::Find(const std::string& name) const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  auto it = state.attached.find(Key(name));
  return it == state.attached.end() ? nullptr : it->second->device;
}

void DeviceRegistry::AddFault(const std::string& name, const Fault& fault) {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  state.faults[Key(name)].push_back(detail::PendingFault{fault, fault.skip, fault.count});
}

void DeviceRegistry::ClearFaults() {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  state.faults.clear();
}

size_t DeviceRegistry::OpenCount(const std::string& name) const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  auto it = state.opens.find(Key(name));
  return it == state.opens.end() ? 0 : it->second;
}

size_t DeviceRegistry::CloseCount(const std::string& name) const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  auto it = state.closes.find(Key(name));
  return it == state.closes.end() ? 0 : it->second;
}

size_t DeviceRegistry::OpenHandles(const std::string& name) const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  size_t n = 0;
  for (const auto& [handle, open] : state.handles) {
    if (Key(open.name) == Key(name)) ++n;
  }
  return n;
}

void DeviceRegistry::SetTraceEnabled(bool enabled, size_t maxRecords) {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  state.traceEnabled = enabled;
  if (!enabled) return;
  state.traceLimit = std::max<size_t>(maxRecords, 1);
  while (state.trace.size() > state.traceLimit) state.trace.pop_front();
}

bool DeviceRegistry::TraceEnabled() const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  return state.traceEnabled;
}

std::vector<TraceRecord> DeviceRegistry::Trace() const {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  return {state.trace.begin(), state.trace.end()};
}

void DeviceRegistry::ClearTrace() {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  state.trace.clear();
}

std::string DeviceRegistry::Transcript() const {
  return FormatTranscript(Trace());
}

void DeviceRegistry::Reset() {
  auto& state = GetState();
  std::lock_guard lock(state.mu);
  for (auto& [key, attachment] : state.attached) attachment->present = false;
  state.attached.clear();
  for (auto& [handle, open] : state.handles) open.attachment->present = false;
  state.handles.clear();
  state.faults.clear();
  state.opens.clear();
  state.closes.clear();
  state.trace.clear();
  state.traceEnabled = false;
  state.traceLimit = kDefaultTraceRecords;
}

}  // namespace drv
