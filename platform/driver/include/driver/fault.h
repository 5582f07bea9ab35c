// Faults that the driver layer injects into the calls on one device name, for tests of the transports
// and of link loss: failures, missing or empty answers, short, oversized or garbled answers, delays and an
// unplug in the middle of a transfer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/win_types.h"

namespace drv {

// Which calls a fault applies to. kAnyIo matches device control, read and write, not opens.
enum class CallKind : uint8_t { kOpen, kClose, kControl, kRead, kWrite, kAnyIo };

enum class FaultKind : uint8_t {
  kFail,       // the call fails with `error`; the device never sees it
  kNoAnswer,   // overlapped call: pending for ever (the caller's wait times out);
               // plain call: fails with ERROR_SEM_TIMEOUT after `delayMs`
  kZeroBytes,  // success with 0 bytes moved (an empty reply, a zero-progress transfer)
  kShort,      // the device sees a buffer cut to `bytes` bytes
  kOversize,   // the device answers normally, the call reports `bytes` more than the buffer holds
  kGarbage,    // the data moved is replaced by pseudo-random bytes (a whole buffer when nothing moved)
  kDelay,      // the answer comes `delayMs` later (an overlapped call is left pending until then)
  kUnplug,     // the device is detached just before this call, which fails with 1167
};

struct Fault {
  FaultKind kind = FaultKind::kFail;
  CallKind on = CallKind::kAnyIo;
  uint32_t code = 0;                  // device-control code to match; 0 matches any
  uint32_t skip = 0;                  // matching calls let through before the fault applies
  uint32_t count = 1;                 // matching calls it applies to; 0 = every one from then on
  uint32_t error = kErrorGenFailure;  // kFail
  size_t bytes = 0;      // kShort: bytes the device may move; kOversize: bytes reported beyond the buffer
  uint32_t delayMs = 0;  // kDelay, kNoAnswer
};

}  // namespace drv
