// The device side of a driver device: what a simulated scanner implements so that the driver layer can
// route CreateFileA / DeviceIoControl / ReadFile / WriteFile calls to it.
//
// Calls arrive with spans bounded by the caller's buffers; a device never sees memory beyond them. For a
// device-control call the output span is the call's data buffer, which carries host-to-device data for
// requests of that direction (the device then only reads it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/win_types.h"

namespace drv {

// What a device answers to one call: success or a system error, and the bytes moved.
struct Reply {
  bool ok = true;
  uint32_t error = kErrorSuccess;
  size_t bytes = 0;

  static Reply Done(size_t moved) { return Reply{true, kErrorSuccess, moved}; }
  static Reply Fail(uint32_t systemError) { return Reply{false, systemError, 0}; }
};

class SimDevice {
 public:
  virtual ~SimDevice() = default;

  // A handle to the device was opened or closed (devices track sessions, e.g. to reset a cursor).
  virtual void OnOpen() {}
  virtual void OnClose() {}

  // DeviceIoControl: `in` is the input block, `out` the data buffer (either direction).
  virtual Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) = 0;
  // ReadFile / WriteFile (bulk pipes of the first series).
  virtual Reply Read(std::span<uint8_t> out) {
    (void)out;
    return Reply::Fail(kErrorInvalidFunction);
  }
  virtual Reply Write(std::span<const uint8_t> data) {
    (void)data;
    return Reply::Fail(kErrorInvalidFunction);
  }
};

}  // namespace drv
