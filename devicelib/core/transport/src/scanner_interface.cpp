// ScannerInterface: open, close, commands and bulk data of the first-series scanner.
#include "transport/scanner_interface.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/clock.h"
#include "transport/bulk_layer.h"

namespace qv6 {

ScannerInterface::~ScannerInterface() {
  Close();
}

int ScannerInterface::Open() {
  if (handle_ == drv::kInvalidHandle) {
    handle_ = BulkLayer::OpenDevice(1);
    if (handle_ == drv::kInvalidHandle) {
      error_ = kErrorOpen;
      return 0;
    }
  }
  error_ = kOk;
  return 1;
}

int ScannerInterface::Close() {
  BulkLayer::CloseDevice(handle_);
  handle_ = drv::kInvalidHandle;
  error_ = kOk;
  return 1;
}

int ScannerInterface::SendCommand(const uint8_t* block, uint32_t length) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  uint32_t returned = 0;
  int ok = BulkLayer::DeviceControl(handle_, 1, block, length, nullptr, 0, &returned, nullptr,
                                    BulkLayer::kPlainCalls);
  error_ = ok ? kOk : kErrorTransfer;
  return ok;
}

int ScannerInterface::Transact(const uint8_t* block, uint32_t length, uint8_t* reply, uint32_t capacity,
                               int* replyLength) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kReplyBufferSize]);
  if (!buffer) {
    error_ = kErrorNoMemory;
    return 0;
  }
  uint32_t returned = 0;
  int ok = BulkLayer::DeviceControl(handle_, 1, block, length, buffer.get(), kReplyBufferSize, &returned,
                                    nullptr, BulkLayer::kPlainCalls);
  if (ok) {
    uint32_t copied = reply != nullptr ? std::min(returned, capacity) : 0;
    if (copied != 0) std::memcpy(reply, buffer.get(), copied);
    if (replyLength != nullptr) *replyLength = static_cast<int>(copied);
    error_ = kOk;
  } else {
    error_ = kErrorTransfer;
  }
  return error_ == kOk ? 1 : 0;
}

int ScannerInterface::Write(const uint8_t* data, uint32_t length, int* written) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  drv::Overlapped overlapped{};
  plat::Sleep(kPauseBeforeWriteMs);
  uint32_t moved = 0;
  int ok = BulkLayer::Write(handle_, data, length, &moved, &overlapped, kBulkTimeoutMs);
  if (written != nullptr) *written = ok ? static_cast<int>(moved) : 0;
  error_ = ok ? kOk : kErrorWrite;
  return ok;
}

int ScannerInterface::Read(uint8_t* buffer, uint32_t length, int* read) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  drv::Overlapped overlapped{};
  uint32_t moved = 0;
  int ok = BulkLayer::Read(handle_, buffer, length, &moved, &overlapped, kBulkTimeoutMs);
  if (read != nullptr) *read = ok ? static_cast<int>(moved) : 0;
  // A failure always carries a non-zero code, even when the layer refused the call before any I/O.
  uint32_t reason = BulkLayer::LastError();
  error_ = ok ? kOk : (reason != 0 ? static_cast<int>(reason) : kErrorTransfer);
  return ok;
}

}  // namespace qv6
