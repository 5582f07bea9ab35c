// ScannerInterface: a connection's access to the first-series scanner over the bulk layer. It opens and
// closes the device, sends command blocks with or without a reply, and moves bulk data with a 10000 ms
// time-out per 4096-byte piece. Operations return 1 or 0 and leave the reason in error().
#pragma once

#include <cstdint>

#include "driver/win_types.h"

namespace qv6 {

class ScannerInterface {
 public:
  static constexpr int kOk = 0;
  static constexpr int kErrorNotOpen = 6;
  static constexpr int kErrorNoMemory = 8;
  static constexpr int kErrorTransfer = 31;
  static constexpr int kErrorWrite = -1;
  static constexpr int kErrorOpen = 62200;
  static constexpr uint32_t kReplyBufferSize = 1024;
  static constexpr int32_t kBulkTimeoutMs = 10000;
  static constexpr uint32_t kPauseBeforeWriteMs = 50;

  ScannerInterface() = default;
  virtual ~ScannerInterface();
  ScannerInterface(const ScannerInterface&) = delete;
  ScannerInterface& operator=(const ScannerInterface&) = delete;

  int Open();
  int Close();
  // A command block without a reply (at least 5 bytes: opcode, four parameters, optional data).
  int SendCommand(const uint8_t* block, uint32_t length);
  // A command with a reply of at most 1024 bytes, cut to `capacity`; *replyLength = bytes copied.
  int Transact(const uint8_t* block, uint32_t length, uint8_t* reply, uint32_t capacity, int* replyLength);
  // Bulk data; *written and *read report the bytes moved.
  int Write(const uint8_t* data, uint32_t length, int* written);
  int Read(uint8_t* buffer, uint32_t length, int* read);

  bool IsOpen() const { return handle_ != drv::kInvalidHandle; }
  drv::Handle handle() const { return handle_; }
  int error() const { return error_; }

 private:
  drv::Handle handle_ = drv::kInvalidHandle;
  int error_ = kOk;
};

}  // namespace qv6
