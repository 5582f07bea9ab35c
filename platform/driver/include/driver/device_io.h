// Driver-device calls with the meaning of their Windows namesakes, routed to the simulated devices of the
// DeviceRegistry: open by device name, device control, plain and overlapped reads and writes, the wait on
// an overlapped record and the thread's last error.
//
// Every call sets the calling thread's last error (0 on success). A call on a handle whose device was
// unplugged fails with ERROR_DEVICE_NOT_CONNECTED. An overlapped call that the device does not finish at
// once fails with ERROR_IO_PENDING; the caller waits on its Overlapped record and then fetches the count
// with GetOverlappedResult. Waits run on the platform clock, so the clock's test modes shorten them.
#pragma once

#include <cstdint>

#include "driver/win_types.h"

namespace drv {

// Stands in for OVERLAPPED together with its event: zero it (value-initialise) before each call.
struct Overlapped {
  bool pending = false;
  bool neverCompletes = false;
  uint64_t completeAtMs = 0;  // platform time at which the pending call finishes
  bool ok = false;
  uint32_t error = 0;
  uint32_t bytes = 0;
};

Handle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t creation, uint32_t flags);
bool CloseHandle(Handle handle);

bool DeviceIoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned, Overlapped* overlapped);
bool ReadFile(Handle handle, void* buffer, uint32_t length, uint32_t* read, Overlapped* overlapped);
bool WriteFile(Handle handle, const void* data, uint32_t length, uint32_t* written, Overlapped* overlapped);

// Waits up to `timeoutMs` (kInfinite: no limit) for a pending call: kWaitObject0 when it finished,
// kWaitTimeout when it did not, kWaitFailed for a call that can never finish waited on without limit.
uint32_t WaitForOverlapped(Overlapped* overlapped, uint32_t timeoutMs);
// The outcome of an overlapped call; with wait = false a call still pending fails with ERROR_IO_INCOMPLETE.
bool GetOverlappedResult(Handle handle, Overlapped* overlapped, uint32_t* transferred, bool wait);

uint32_t GetLastError();
void SetLastError(uint32_t error);

}  // namespace drv
