// The interface object of each later series over the driver layer: Open, Close, Send, Receive, SendValue
// and ReceiveValue. The series differ only in the piece size of their vendor-request transfers: 2048
// bytes, or 128 for the VEKQv5xx series. Operations return 1 or 0 and leave the reason in error().
#pragma once

#include <cstdint>

#include "driver/win_types.h"
#include "transport/vendor_request.h"

namespace qv6 {

class DriverDeviceInterface {
 public:
  static constexpr int kOk = 0;
  static constexpr int kErrorNotOpen = 6;
  static constexpr int kErrorTransfer = 31;
  static constexpr int kErrorOpen = 62200;
  static constexpr uint32_t kStandardPieceSize = 2048;

  virtual ~DriverDeviceInterface();
  DriverDeviceInterface(const DriverDeviceInterface&) = delete;
  DriverDeviceInterface& operator=(const DriverDeviceInterface&) = delete;

  int Open();
  int Close();
  // Host to device with the record's parameters; request types above 20 are refused without a transfer.
  int Send(const uint8_t* data, uint32_t length, const RequestRecord& request);
  // Device to host with the record's parameters.
  int Receive(uint8_t* buffer, uint32_t length, const RequestRecord& request);
  // Host to device / device to host with the record's pipe number and no parameters.
  int SendValue(const uint8_t* data, uint32_t length, const RequestRecord& request);
  int ReceiveValue(uint8_t* buffer, uint32_t length, const RequestRecord& request);

  bool IsOpen() const { return handle_ != drv::kInvalidHandle; }
  drv::Handle handle() const { return handle_; }
  int error() const { return error_; }
  uint32_t pieceSize() const { return pieceSize_; }

 protected:
  explicit DriverDeviceInterface(uint32_t pieceSize) : pieceSize_(pieceSize) {}

 private:
  int Finish(int ok);

  int error_ = kOk;
  drv::Handle handle_ = drv::kInvalidHandle;
  uint32_t pieceSize_;
};

class ScannerQV62xInterface : public DriverDeviceInterface {
 public:
  ScannerQV62xInterface() : DriverDeviceInterface(kStandardPieceSize) {}
};

class ScannerQV63xInterface : public DriverDeviceInterface {
 public:
  ScannerQV63xInterface() : DriverDeviceInterface(kStandardPieceSize) {}
};

class ScannerQV64xInterface : public DriverDeviceInterface {
 public:
  ScannerQV64xInterface() : DriverDeviceInterface(kStandardPieceSize) {}
};

class ScannerKQv8xInterface : public DriverDeviceInterface {
 public:
  ScannerKQv8xInterface() : DriverDeviceInterface(kStandardPieceSize) {}
};

class ScannerVEKQv5xxInterface : public DriverDeviceInterface {
 public:
  static constexpr uint32_t kPieceSize = 128;
  ScannerVEKQv5xxInterface() : DriverDeviceInterface(kPieceSize) {}
};

}  // namespace qv6
