// The later series' driver layer: device table, open over the numbered names, and the transfer routine.
#include "transport/driver_layer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "driver/device_io.h"

namespace qv6 {
namespace {

std::mutex g_tableMutex;
std::array<drv::Handle, DriverLayer::kTableSize> g_table = {
    drv::kInvalidHandle, drv::kInvalidHandle, drv::kInvalidHandle, drv::kInvalidHandle, drv::kInvalidHandle};
std::atomic<bool> g_ready{false};
std::atomic<uint32_t> g_lastError{0};

enum class Shape { kOneCall, kPieces, kControl, kBulkWrite, kBulkRead };

// How one request type travels: its shape, the direction of its data and its control blocks.
struct Route {
  Shape shape;
  bool deviceToHost = false;
  VendorRequest block;    // the request of a one-call or control type, or of each piece
  VendorRequest opening;  // piece types: the request without data that opens the transfer
};

std::optional<Route> Describe(int type, const RequestRecord& p) {
  auto out = [](uint8_t code, uint16_t value, uint16_t index) {
    return VendorRequest{0, code, value, index};
  };
  auto in = [](uint8_t code, uint16_t value, uint16_t index) { return VendorRequest{1, code, value, index}; };
  switch (type) {
    case kRequestSerialOut:
      return Route{Shape::kOneCall, false, out(0x11, 0, 5)};
    case kRequestSerialIn:
      return Route{Shape::kOneCall, true, in(0x21, 0, 5)};
    case kRequestEepromRead:
      return Route{Shape::kPieces, true, in(0x21, 0, 4), out(0x44, 0, 0)};
    case kRequestEepromWrite:
      return Route{Shape::kPieces, false, out(0x11, 0, 4), out(0x44, 0, 0)};
    case kRequestFirmwareHigh:
      return Route{Shape::kOneCall, false, out(0x12, p.memoryValue, 0)};
    case kRequestMemoryWrite:
      return Route{Shape::kOneCall, false, out(0xA0, p.memoryValue, 0)};
    case kRequestCommandPacket:
      return Route{Shape::kOneCall, false, out(0x11, 0, 3)};
    case kRequestBlockOut:
      return Route{Shape::kOneCall, false, out(0x11, 0, 2)};
    case kRequestBlockIn:
      return Route{Shape::kOneCall, true, in(0x21, p.blockInValue, 2)};
    case kRequestFpgaImage:
      return Route{Shape::kPieces, false, out(0x11, 0, 1), out(0x40, p.fpgaValue, 0)};
    case kRequestControl43:
      return Route{Shape::kControl, false, out(0x43, p.control43Value, p.control43Index)};
    case kRequestControl41:
      return Route{Shape::kControl, false, out(0x41, p.control41Value, 0)};
    case kRequestControl42:
      return Route{Shape::kControl, false, out(0x42, 0, 0)};
    case kRequestIdentification:
      return Route{Shape::kOneCall, true, out(0x11, 0, 3)};
    case kRequestBulkWrite:
      return Route{Shape::kBulkWrite, false, {}};
    case kRequestBulkRead:
      return Route{Shape::kBulkRead, true, {}};
    default:
      return std::nullopt;
  }
}

// One device-control call; the last error word takes the system error.
bool Call(drv::Handle handle, uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
          uint32_t outLength, uint32_t* moved) {
  *moved = 0;
  bool ok = drv::DeviceIoControl(handle, code, in, inLength, out, outLength, moved, nullptr);
  g_lastError = drv::GetLastError();
  return ok;
}

bool Fail(uint32_t reason) {
  g_lastError = reason;
  return false;
}

bool OneCall(drv::Handle handle, int type, const Route& route, uint8_t* data, uint32_t length,
             uint32_t pieceSize) {
  if (length > pieceSize) return false;  // refused unsent
  auto block = route.block.Encode();
  std::array<uint8_t, VendorRequest::kIdentifySize> input{};  // zeros behind the block
  std::copy(block.begin(), block.end(), input.begin());
  uint32_t code = kIoctlVendorRequest;
  uint32_t inLength = VendorRequest::kSize;
  if (type == kRequestIdentification) {
    code = kIoctlIdentify;
    inLength = VendorRequest::kIdentifySize;
  }
  uint32_t moved = 0;
  if (!Call(handle, code, input.data(), inLength, data, length, &moved)) return false;
  if (moved > length) return Fail(drv::kErrorInvalidData);
  return true;
}

bool Pieces(drv::Handle handle, const Route& route, uint8_t* data, uint32_t length, uint32_t pieceSize) {
  auto opening = route.opening.Encode();
  uint32_t moved = 0;
  if (!Call(handle, kIoctlVendorRequest, opening.data(), VendorRequest::kSize, nullptr, 0, &moved)) {
    return false;
  }
  auto block = route.block.Encode();
  uint32_t done = 0;
  while (done < length) {
    uint32_t piece = std::min(length - done, pieceSize);
    if (!Call(handle, kIoctlVendorRequest, block.data(), VendorRequest::kSize, data + done, piece, &moved)) {
      return false;
    }
    // A piece that moves nothing would repeat for ever; one that claims more than asked is not trusted.
    if (moved == 0 || moved > piece) return Fail(drv::kErrorInvalidData);
    done += moved;
  }
  return true;
}

bool BulkWrite(drv::Handle handle, uint16_t pipe, const uint8_t* data, uint32_t length) {
  if (length > DriverLayer::kPipeWriteMax) return false;
  auto pipeBlock = EncodePipeBlock(pipe);
  std::vector<uint8_t> copy(data, data + length);  // the call's data buffer is writable
  uint32_t moved = 0;
  if (pipe != 0) {
    if (!Call(handle, kIoctlPipeWrite, pipeBlock.data(), 4, copy.data(), length, &moved)) return false;
    return moved == length ? true : Fail(drv::kErrorWriteFault);
  }
  for (uint32_t done = 0; done < length;) {
    uint32_t piece = std::min(length - done, DriverLayer::kPipeZeroPiece);
    if (!Call(handle, kIoctlPipeWrite, pipeBlock.data(), 4, copy.data() + done, piece, &moved)) return false;
    // A short piece would leave a gap in what the device received.
    if (moved != piece) return Fail(drv::kErrorWriteFault);
    done += piece;
  }
  return true;
}

bool BulkRead(drv::Handle handle, uint16_t pipe, uint8_t* data, uint32_t length) {
  uint64_t rounded = (static_cast<uint64_t>(length) + DriverLayer::kReadRounding - 1) /
                     DriverLayer::kReadRounding * DriverLayer::kReadRounding;
  if (rounded == 0) return true;
  if (rounded > UINT32_MAX) return Fail(drv::kErrorInvalidParameter);
  // The device sends whole 512-byte packets: they land here, and only `length` bytes reach the caller.
  std::vector<uint8_t> staging;
  try {
    staging.resize(static_cast<size_t>(rounded));
  } catch (const std::bad_alloc&) {
    return Fail(drv::kErrorInvalidParameter);
  }
  auto pipeBlock = EncodePipeBlock(pipe);
  uint64_t received = 0;
  while (received < rounded) {
    uint32_t ask = static_cast<uint32_t>(std::min<uint64_t>(rounded - received, DriverLayer::kPipeReadPiece));
    uint32_t moved = 0;
    if (!Call(handle, kIoctlPipeRead, pipeBlock.data(), 4, staging.data() + received, ask, &moved))
      return false;
    if (moved == 0 || moved > ask) return Fail(drv::kErrorInvalidData);
    received += moved;
  }
  if (length != 0) std::memcpy(data, staging.data(), length);
  return true;
}

}  // namespace

void DriverLayer::Reset() {
  std::lock_guard lock(g_tableMutex);
  g_table.fill(drv::kInvalidHandle);
  g_ready = false;
  g_lastError = 0;
}

drv::Handle DriverLayer::Open(int deviceNumber) {
  if (deviceNumber != 1) return drv::kInvalidHandle;
  std::lock_guard lock(g_tableMutex);
  auto entry = std::find(g_table.begin(), g_table.end(), drv::kInvalidHandle);
  if (entry == g_table.end()) return drv::kInvalidHandle;
  char name[32];
  for (int number = 0; number < kDeviceNumbers; ++number) {
    for (const char* pattern : kNamePatterns) {
      std::snprintf(name, sizeof name, pattern, number);
      drv::Handle handle =
          drv::CreateFileA(name, drv::kGenericRead | drv::kGenericWrite, 0, drv::kOpenExisting, 0);
      if (handle != drv::kInvalidHandle) {
        *entry = handle;
        g_ready = true;
        return handle;
      }
    }
  }
  return drv::kInvalidHandle;
}

int DriverLayer::Close(drv::Handle handle) {
  std::lock_guard lock(g_tableMutex);
  if (handle == drv::kInvalidHandle || !g_ready) return 1;
  bool held = false;
  for (auto& entry : g_table) {
    if (entry == handle) {
      entry = drv::kInvalidHandle;
      held = true;
    }
  }
  if (held) drv::CloseHandle(handle);
  return 1;
}

int DriverLayer::Transfer(drv::Handle handle, int requestType, uint8_t* receive, uint32_t receiveLength,
                          const uint8_t* send, uint32_t sendLength, const RequestRecord* parameters,
                          uint16_t pipe, uint32_t pieceSize) {
  if (!g_ready) return 0;
  RequestRecord none;
  auto route = Describe(requestType, parameters != nullptr ? *parameters : none);
  if (!route) return 0;
  if (receive == nullptr) receiveLength = 0;
  if (send == nullptr) sendLength = 0;
  if (pieceSize == 0) return 0;

  bool ok = false;
  switch (route->shape) {
    case Shape::kOneCall:
      if (route->deviceToHost) {
        ok = OneCall(handle, requestType, *route, receive, receiveLength, pieceSize);
      } else if (sendLength <= pieceSize) {
        std::vector<uint8_t> copy(send, send + sendLength);  // the call's data buffer is writable
        ok = OneCall(handle, requestType, *route, copy.data(), sendLength, pieceSize);
      }
      break;
    case Shape::kPieces:
      if (route->deviceToHost) {
        ok = Pieces(handle, *route, receive, receiveLength, pieceSize);
      } else {
        std::vector<uint8_t> copy(send, send + sendLength);
        ok = Pieces(handle, *route, copy.data(), sendLength, pieceSize);
      }
      break;
    case Shape::kControl: {
      if (requestType == kRequestControl41 && route->block.value > kControl41Max) return 0;
      auto block = route->block.Encode();
      uint32_t moved = 0;
      ok = Call(handle, kIoctlVendorRequest, block.data(), VendorRequest::kSize, nullptr, 0, &moved);
      break;
    }
    case Shape::kBulkWrite:
      ok = BulkWrite(handle, pipe, send, sendLength);
      break;
    case Shape::kBulkRead:
      ok = BulkRead(handle, pipe, receive, receiveLength);
      break;
  }
  return ok ? 1 : 0;
}

uint32_t DriverLayer::LastError() {
  return g_lastError;
}
bool DriverLayer::Ready() {
  return g_ready;
}

}  // namespace qv6
