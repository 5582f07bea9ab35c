// Driver-device calls routed to the simulated devices of the registry, with fault injection, the
// overlapped-call emulation and the call trace.
#include "driver/device_io.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>

#include "platform/clock.h"
#include "registry_state.h"

namespace drv {
namespace {

thread_local uint32_t t_lastError = 0;

using detail::Attachment;
using detail::GetState;
using detail::Key;
using detail::State;

uint32_t Fnv1a(std::span<const uint8_t> data) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : data) hash = (hash ^ b) * 16777619u;
  return hash;
}

void FillGarbage(std::span<uint8_t> data, uint32_t& seed) {
  for (auto& b : data) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    b = static_cast<uint8_t>(seed);
  }
}

// One I/O call on its way to a device: what the caller passed and what it will be told.
struct Call {
  CallKind kind;
  uint32_t code = 0;
  std::span<const uint8_t> in;  // control input block, or data to write
  std::span<uint8_t> out;       // control data buffer, or read buffer
  Overlapped* overlapped = nullptr;
};

struct Outcome {
  bool ok = false;
  uint32_t error = 0;
  size_t reported = 0;
  bool pending = false;
  bool neverCompletes = false;
  uint64_t completeAtMs = 0;
};

Reply Invoke(Attachment& attachment, const Call& call, std::span<uint8_t> out,
             std::span<const uint8_t> data) {
  std::lock_guard lock(attachment.callMu);
  switch (call.kind) {
    case CallKind::kControl:
      return attachment.device->Control(call.code, call.in, out);
    case CallKind::kRead:
      return attachment.device->Read(out);
    default:
      return attachment.device->Write(data);
  }
}

Outcome Route(Handle handle, const Call& call) {
  auto& state = GetState();
  std::shared_ptr<Attachment> attachment;
  std::string name;
  std::optional<Fault> fault;
  {
    std::lock_guard lock(state.mu);
    auto it = state.handles.find(handle);
    if (it == state.handles.end()) return Outcome{false, kErrorInvalidHandle};
    attachment = it->second.attachment;
    name = it->second.name;
    if (attachment->present) fault = detail::TakeFault(state, Key(name), call.kind, call.code);
    if (fault && fault->kind == FaultKind::kUnplug) detail::Unplug(state, attachment);
  }

  Outcome outcome;
  auto finish = [&](Outcome result) {
    {
      std::lock_guard lock(state.mu);
      if (!state.traceEnabled) return result;
    }
    TraceRecord record;
    record.kind = call.kind;
    record.device = name;
    record.code = call.code;
    record.input.assign(call.in.begin(),
                        call.in.begin() + std::min(call.in.size(), TraceRecord::kMaxStoredBytes));
    record.inputHash = Fnv1a(call.in);
    record.capacity = call.kind == CallKind::kWrite ? call.in.size() : call.out.size();
    record.ok = result.ok;
    record.error = result.pending ? kErrorIoPending : result.error;
    record.reported = result.reported;
    if (result.ok || result.pending) {
      auto returned = call.out.first(std::min(result.reported, call.out.size()));
      if (call.kind == CallKind::kWrite) returned = {};
      record.output.assign(returned.begin(),
                           returned.begin() + std::min(returned.size(), TraceRecord::kMaxStoredBytes));
      record.outputHash = Fnv1a(returned);
    }
    std::lock_guard lock(state.mu);
    detail::AddTrace(state, std::move(record));
    return result;
  };

  bool present;
  {
    std::lock_guard lock(state.mu);
    present = attachment->present;
  }
  if (!present) return finish(Outcome{false, kErrorDeviceNotConnected});

  std::span<uint8_t> out = call.out;
  std::span<const uint8_t> data = call.in;
  if (fault) {
    switch (fault->kind) {
      case FaultKind::kFail:
        return finish(Outcome{false, fault->error});
      case FaultKind::kNoAnswer:
        if (call.overlapped != nullptr) {
          Outcome pending{false, 0, 0, true, true};
          return finish(pending);
        }
        plat::Sleep(fault->delayMs);
        return finish(Outcome{false, kErrorSemTimeout});
      case FaultKind::kZeroBytes:
        return finish(Outcome{true, 0, 0});
      case FaultKind::kShort:
        if (call.kind == CallKind::kWrite) {
          data = data.first(std::min(data.size(), fault->bytes));
        } else {
          out = out.first(std::min(out.size(), fault->bytes));
        }
        break;
      case FaultKind::kDelay:
        if (call.overlapped == nullptr) plat::Sleep(fault->delayMs);
        break;
      case FaultKind::kUnplug:
        return finish(Outcome{false, kErrorDeviceNotConnected});
      default:
        break;
    }
  }

  // A write through the control or write path must not let a garbage fault touch the caller's data.
  std::vector<uint8_t> garbled;
  if (fault && fault->kind == FaultKind::kGarbage && call.kind == CallKind::kWrite) {
    garbled.resize(data.size());
    std::lock_guard lock(state.mu);
    FillGarbage(garbled, state.garbageSeed);
    data = garbled;
  }

  Reply reply = Invoke(*attachment, call, out, data);
  outcome = Outcome{reply.ok, reply.ok ? kErrorSuccess : reply.error, reply.ok ? reply.bytes : 0};
  if (fault && reply.ok) {
    if (fault->kind == FaultKind::kOversize) {
      outcome.reported = (call.kind == CallKind::kWrite ? call.in.size() : call.out.size()) + fault->bytes;
    } else if (fault->kind == FaultKind::kGarbage && call.kind != CallKind::kWrite) {
      if (outcome.reported == 0 || outcome.reported > out.size()) outcome.reported = out.size();
      std::lock_guard lock(state.mu);
      FillGarbage(out.first(outcome.reported), state.garbageSeed);
    }
  }
  if (fault && fault->kind == FaultKind::kDelay && call.overlapped != nullptr) {
    outcome.pending = true;
    outcome.completeAtMs = plat::NowMs() + fault->delayMs;
  }
  return finish(outcome);
}

// Reports an outcome to the caller the Windows way.
bool Report(const Outcome& outcome, uint32_t* count, Overlapped* overlapped) {
  if (overlapped != nullptr) {
    *overlapped = Overlapped{};
    overlapped->pending = outcome.pending;
    overlapped->neverCompletes = outcome.neverCompletes;
    overlapped->completeAtMs = outcome.completeAtMs;
    overlapped->ok = outcome.ok;
    overlapped->error = outcome.error;
    overlapped->bytes = static_cast<uint32_t>(std::min<size_t>(outcome.reported, UINT32_MAX));
  }
  if (outcome.pending) {
    t_lastError = kErrorIoPending;
    return false;
  }
  if (count != nullptr)
    *count = outcome.ok ? static_cast<uint32_t>(std::min<size_t>(outcome.reported, UINT32_MAX)) : 0;
  t_lastError = outcome.ok ? kErrorSuccess : outcome.error;
  return outcome.ok;
}

}  // namespace

uint32_t GetLastError() {
  return t_lastError;
}
void SetLastError(uint32_t error) {
  t_lastError = error;
}

Handle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t creation, uint32_t flags) {
  (void)access;
  (void)creation;
  (void)flags;
  if (name == nullptr) {
    t_lastError = kErrorInvalidParameter;
    return kInvalidHandle;
  }
  auto& state = GetState();
  std::shared_ptr<Attachment> attachment;
  std::optional<Fault> fault;
  std::string key = Key(name);
  {
    std::lock_guard lock(state.mu);
    fault = detail::TakeFault(state, key, CallKind::kOpen, 0);
  }
  if (fault && fault->kind == FaultKind::kDelay) plat::Sleep(fault->delayMs);

  uint32_t error = kErrorSuccess;
  Handle handle = kInvalidHandle;
  {
    std::lock_guard lock(state.mu);
    auto it = state.attached.find(key);
    if (it == state.attached.end()) {
      error = kErrorFileNotFound;
    } else if (fault && fault->kind != FaultKind::kDelay) {
      error = fault->kind == FaultKind::kFail ? fault->error : kErrorGenFailure;
      if (fault->kind == FaultKind::kUnplug) {
        detail::Unplug(state, it->second);
        error = kErrorFileNotFound;
      }
    } else if (it->second->exclusive || (shareMode == 0 && it->second->openHandles > 0)) {
      error = kErrorSharingViolation;
    } else {
      attachment = it->second;
      ++attachment->openHandles;
      attachment->exclusive = shareMode == 0;
      handle = state.nextHandle;
      state.nextHandle += 4;
      state.handles[handle] = detail::OpenHandle{name, attachment};
      ++state.opens[key];
    }
    TraceRecord record;
    record.kind = CallKind::kOpen;
    record.device = name;
    record.ok = handle != kInvalidHandle;
    record.error = error;
    detail::AddTrace(state, std::move(record));
  }
  if (attachment) {
    std::lock_guard lock(attachment->callMu);
    attachment->device->OnOpen();
  }
  t_lastError = error;
  return handle;
}

bool CloseHandle(Handle handle) {
  auto& state = GetState();
  std::shared_ptr<Attachment> attachment;
  {
    std::lock_guard lock(state.mu);
    auto it = state.handles.find(handle);
    if (it == state.handles.end()) {
      t_lastError = kErrorInvalidHandle;
      return false;
    }
    attachment = it->second.attachment;
    std::string name = it->second.name;
    state.handles.erase(it);
    if (attachment->openHandles > 0) --attachment->openHandles;
    if (attachment->openHandles == 0) attachment->exclusive = false;
    ++state.closes[Key(name)];
    TraceRecord record;
    record.kind = CallKind::kClose;
    record.device = name;
    record.ok = true;
    detail::AddTrace(state, std::move(record));
  }
  {
    std::lock_guard lock(attachment->callMu);
    attachment->device->OnClose();
  }
  t_lastError = kErrorSuccess;
  return true;
}

bool DeviceIoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned, Overlapped* overlapped) {
  if ((in == nullptr && inLength != 0) || (out == nullptr && outLength != 0)) {
    t_lastError = kErrorInvalidParameter;
    return false;
  }
  Call call{CallKind::kControl, code};
  if (inLength != 0) call.in = {static_cast<const uint8_t*>(in), inLength};
  if (outLength != 0) call.out = {static_cast<uint8_t*>(out), outLength};
  call.overlapped = overlapped;
  return Report(Route(handle, call), returned, overlapped);
}

bool ReadFile(Handle handle, void* buffer, uint32_t length, uint32_t* read, Overlapped* overlapped) {
  if (buffer == nullptr && length != 0) {
    t_lastError = kErrorInvalidParameter;
    return false;
  }
  Call call{CallKind::kRead};
  if (length != 0) call.out = {static_cast<uint8_t*>(buffer), length};
  call.overlapped = overlapped;
  return Report(Route(handle, call), read, overlapped);
}

bool WriteFile(Handle handle, const void* data, uint32_t length, uint32_t* written, Overlapped* overlapped) {
  if (data == nullptr && length != 0) {
    t_lastError = kErrorInvalidParameter;
    return false;
  }
  Call call{CallKind::kWrite};
  if (length != 0) call.in = {static_cast<const uint8_t*>(data), length};
  call.overlapped = overlapped;
  return Report(Route(handle, call), written, overlapped);
}

uint32_t WaitForOverlapped(Overlapped* overlapped, uint32_t timeoutMs) {
  if (overlapped == nullptr) return kWaitFailed;
  if (!overlapped->pending) return kWaitObject0;
  if (overlapped->neverCompletes) {
    if (timeoutMs == kInfinite) return kWaitFailed;
    plat::Sleep(timeoutMs);
    return kWaitTimeout;
  }
  uint64_t now = plat::NowMs();
  if (now >= overlapped->completeAtMs) return kWaitObject0;
  uint64_t remaining = overlapped->completeAtMs - now;
  if (timeoutMs != kInfinite && remaining > timeoutMs) {
    plat::Sleep(timeoutMs);
    return kWaitTimeout;
  }
  plat::Sleep(static_cast<uint32_t>(remaining));
  return kWaitObject0;
}

bool GetOverlappedResult(Handle handle, Overlapped* overlapped, uint32_t* transferred, bool wait) {
  (void)handle;
  if (overlapped == nullptr) {
    t_lastError = kErrorInvalidParameter;
    return false;
  }
  if (overlapped->pending) {
    bool finished = !overlapped->neverCompletes && plat::NowMs() >= overlapped->completeAtMs;
    if (!finished && wait) finished = WaitForOverlapped(overlapped, kInfinite) == kWaitObject0;
    if (!finished) {
      t_lastError = kErrorIoIncomplete;
      return false;
    }
  }
  if (transferred != nullptr) *transferred = overlapped->ok ? overlapped->bytes : 0;
  t_lastError = overlapped->ok ? kErrorSuccess : overlapped->error;
  return overlapped->ok;
}

}  // namespace drv
