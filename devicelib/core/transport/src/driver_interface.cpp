// The later series' interface operations over the driver layer, shared by every series.
#include "transport/driver_interface.h"

#include "transport/driver_layer.h"

namespace qv6 {

DriverDeviceInterface::~DriverDeviceInterface() {
  Close();
}

int DriverDeviceInterface::Open() {
  if (handle_ == drv::kInvalidHandle) {
    handle_ = DriverLayer::Open(1);
    if (handle_ == drv::kInvalidHandle) {
      error_ = kErrorOpen;
      return 0;
    }
  }
  error_ = kOk;
  return 1;
}

int DriverDeviceInterface::Close() {
  DriverLayer::Close(handle_);
  handle_ = drv::kInvalidHandle;
  error_ = kOk;
  return 1;
}

int DriverDeviceInterface::Finish(int ok) {
  error_ = ok ? kOk : kErrorTransfer;
  return ok ? 1 : 0;
}

int DriverDeviceInterface::Send(const uint8_t* data, uint32_t length, const RequestRecord& request) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  if (request.type > kRequestControl42) return 0;
  return Finish(
      DriverLayer::Transfer(handle_, request.type, nullptr, 0, data, length, &request, 0, pieceSize_));
}

int DriverDeviceInterface::Receive(uint8_t* buffer, uint32_t length, const RequestRecord& request) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  return Finish(
      DriverLayer::Transfer(handle_, request.type, buffer, length, nullptr, 0, &request, 0, pieceSize_));
}

int DriverDeviceInterface::SendValue(const uint8_t* data, uint32_t length, const RequestRecord& request) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  return Finish(DriverLayer::Transfer(handle_, request.type, nullptr, 0, data, length, nullptr, request.pipe,
                                      pieceSize_));
}

int DriverDeviceInterface::ReceiveValue(uint8_t* buffer, uint32_t length, const RequestRecord& request) {
  if (!IsOpen()) {
    error_ = kErrorNotOpen;
    return 0;
  }
  return Finish(DriverLayer::Transfer(handle_, request.type, buffer, length, nullptr, 0, nullptr,
                                      request.pipe, pieceSize_));
}

}  // namespace qv6
