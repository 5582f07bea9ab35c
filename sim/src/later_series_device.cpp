// The later series' protocol family: vendor-request dispatch, identification, blocks, EEPROM, serial
#include "platform/byte_order.h"
// port, FPGA, controller memory and pipes.
#include <algorithm>

#include "sim/later_series_device.h"

namespace sim {
namespace {

constexpr uint8_t kCodeToDevice = 0x11;
constexpr uint8_t kCodeToHost = 0x21;
constexpr uint8_t kCodeFirmwareHigh = 0x12;
constexpr uint8_t kCodeMemoryWrite = 0xA0;
constexpr uint8_t kCodeFpgaOpen = 0x40;
constexpr uint8_t kCodeEepromCursor = 0x44;
constexpr uint8_t kCodeControl41 = 0x41;
constexpr uint8_t kCodeControl42 = 0x42;
constexpr uint8_t kCodeControl43 = 0x43;

constexpr uint16_t kIndexFpga = 1;
constexpr uint16_t kIndexBlock = 2;
constexpr uint16_t kIndexCommand = 3;
constexpr uint16_t kIndexEeprom = 4;
constexpr uint16_t kIndexSerial = 5;

constexpr size_t kBlockHead = 4;
constexpr size_t kControlBlock = 10;

size_t Take(std::deque<uint8_t>& queue, std::span<uint8_t> out) {
  size_t n = std::min(out.size(), queue.size());
  std::copy_n(queue.begin(), n, out.begin());
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

}  // namespace

LaterSeriesDevice::LaterSeriesDevice(Identity identity, IdentificationCodes codes, size_t eepromSize)
    : ScannerDevice(std::move(identity)), codes_(codes), eeprom_(eepromSize, 0xFF) {}

drv::Reply LaterSeriesDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  switch (code) {
    case kIoctlIdentify: {
      // The identification request carries the command-packet block (direction 0, code 0x11, index 3).
      if (in.size() < kControlBlock || in[0] != 0 || in[4] != kCodeToDevice ||
          plat::bytes::GetLe16(&in[8]) != kIndexCommand) {
        return drv::Reply::Fail(drv::kErrorInvalidParameter);
      }
      auto reply = codes_.EncodeReply();
      size_t n = std::min(reply.size(), out.size());
      std::copy_n(reply.begin(), n, out.begin());
      return drv::Reply::Done(n);
    }
    case kIoctlVendorRequest:
      return VendorRequest(in, out);
    case kIoctlPipeWrite: {
      if (in.size() < 4) return drv::Reply::Fail(drv::kErrorInvalidParameter);
      pipeOut_[plat::bytes::GetLe16(&in[0])].Add(out);
      return drv::Reply::Done(out.size());
    }
    case kIoctlPipeRead:
      if (in.size() < 4) return drv::Reply::Fail(drv::kErrorInvalidParameter);
      return PipeRead(plat::bytes::GetLe16(&in[0]), out);
    default:
      return drv::Reply::Fail(drv::kErrorInvalidFunction);
  }
}

drv::Reply LaterSeriesDevice::VendorRequest(std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (in.size() < kControlBlock || in[1] != 2 || in[2] != 0)
    return drv::Reply::Fail(drv::kErrorInvalidParameter);
  uint8_t direction = in[0];
  uint8_t code = in[4];
  uint16_t value = plat::bytes::GetLe16(&in[6]);
  uint16_t index = plat::bytes::GetLe16(&in[8]);
  if (direction == 1) return DeviceToHost(code, value, index, out);
  return HostToDevice(code, value, index, out);
}

drv::Reply LaterSeriesDevice::DeviceToHost(uint8_t code, uint16_t value, uint16_t index,
                                           std::span<uint8_t> out) {
  if (code != kCodeToHost) return drv::Reply::Fail(drv::kErrorGenFailure);
  switch (index) {
    case kIndexBlock: {
      std::vector<uint8_t> payload;
      size_t capacity = out.size() > kBlockHead ? out.size() - kBlockHead : 0;
      if (!BlockPayload(value, capacity, &payload)) return drv::Reply::Fail(drv::kErrorGenFailure);
      // Framing: type and payload length big-endian; a reply cut to the host's buffer says so in its length.
      payload.resize(std::min(payload.size(), capacity));
      std::vector<uint8_t> block = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value),
                                    static_cast<uint8_t>(payload.size() >> 8),
                                    static_cast<uint8_t>(payload.size())};
      block.insert(block.end(), payload.begin(), payload.end());
      size_t n = std::min(block.size(), out.size());
      std::copy_n(block.begin(), n, out.begin());
      return drv::Reply::Done(n);
    }
    case kIndexEeprom: {
      size_t n = std::min(out.size(), eeprom_.size() - std::min(eepromCursor_, eeprom_.size()));
      std::copy_n(eeprom_.begin() + static_cast<std::ptrdiff_t>(eepromCursor_), n, out.begin());
      eepromCursor_ += n;
      return drv::Reply::Done(n);
    }
    case kIndexSerial:
      return drv::Reply::Done(Take(serialIn_, out));
    default:
      return drv::Reply::Fail(drv::kErrorGenFailure);
  }
}

drv::Reply LaterSeriesDevice::HostToDevice(uint8_t code, uint16_t value, uint16_t index,
                                           std::span<const uint8_t> data) {
  switch (code) {
    case kCodeToDevice:
      switch (index) {
        case kIndexFpga:
          if (!fpgaOpen_) return drv::Reply::Fail(drv::kErrorGenFailure);
          fpga_.insert(fpga_.end(), data.begin(), data.end());
          return drv::Reply::Done(data.size());
        case kIndexBlock:
          blocksReceived_.Add(data);
          if (!OnBlock(data)) return drv::Reply::Fail(drv::kErrorGenFailure);
          return drv::Reply::Done(data.size());
        case kIndexCommand:
          commandsReceived_.Add(data);
          if (!OnCommandPacket(data)) return drv::Reply::Fail(drv::kErrorGenFailure);
          return drv::Reply::Done(data.size());
        case kIndexEeprom: {
          size_t n = std::min(data.size(), eeprom_.size() - std::min(eepromCursor_, eeprom_.size()));
          std::copy_n(data.begin(), n, eeprom_.begin() + static_cast<std::ptrdiff_t>(eepromCursor_));
          eepromCursor_ += n;
          return drv::Reply::Done(n);
        }
        case kIndexSerial:
          serialOut_.Add(data);
          return drv::Reply::Done(data.size());
        default:
          return drv::Reply::Fail(drv::kErrorGenFailure);
      }
    case kCodeEepromCursor:
      eepromCursor_ = 0;
      return drv::Reply::Done(0);
    case kCodeFpgaOpen:
      fpgaOpen_ = true;
      fpgaOpenValue_ = value;
      fpga_.clear();
      return drv::Reply::Done(0);
    case kCodeFirmwareHigh:
    case kCodeMemoryWrite:
      memory_[value].assign(data.begin(), data.end());
      if (code == kCodeMemoryWrite && value == kCpuResetAddress && !data.empty()) cpuInReset_ = data[0] != 0;
      return drv::Reply::Done(data.size());
    case kCodeControl41:
    case kCodeControl42:
    case kCodeControl43:
      if (!OnControlRequest(code, value, index)) return drv::Reply::Fail(drv::kErrorGenFailure);
      return drv::Reply::Done(0);
    default:
      return drv::Reply::Fail(drv::kErrorGenFailure);
  }
}

drv::Reply LaterSeriesDevice::PipeRead(uint16_t pipe, std::span<uint8_t> out) {
  // An empty pipe answers with a zero-length packet.
  return drv::Reply::Done(Take(pipeIn_[pipe], out));
}

bool LaterSeriesDevice::BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) {
  (void)capacity;
  if (type == kIdentityBlock) {
    *payload = identity_.EncodeBlock();
    return true;
  }
  auto it = blocks_.find(type);
  if (it == blocks_.end()) return false;
  *payload = it->second;
  return true;
}

IdentificationCodes LaterSeriesDevice::codes() const {
  std::lock_guard lock(mutex_);
  return codes_;
}

void LaterSeriesDevice::SetCodes(IdentificationCodes codes) {
  std::lock_guard lock(mutex_);
  codes_ = codes;
}

void LaterSeriesDevice::SetBlock(uint16_t type, std::vector<uint8_t> payload) {
  std::lock_guard lock(mutex_);
  blocks_[type] = std::move(payload);
}

std::vector<std::vector<uint8_t>> LaterSeriesDevice::BlocksReceived() const {
  std::lock_guard lock(mutex_);
  return blocksReceived_.Packets();
}

std::vector<std::vector<uint8_t>> LaterSeriesDevice::CommandsReceived() const {
  std::lock_guard lock(mutex_);
  return commandsReceived_.Packets();
}

void LaterSeriesDevice::QueuePipeData(uint16_t pipe, std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  auto& queue = pipeIn_[pipe];
  queue.insert(queue.end(), data.begin(), data.end());
  size_t padded = (data.size() + kPipePacket - 1) / kPipePacket * kPipePacket;
  queue.insert(queue.end(), padded - data.size(), 0);
}

void LaterSeriesDevice::ClearPipeData(uint16_t pipe) {
  std::lock_guard lock(mutex_);
  pipeIn_[pipe].clear();
}

std::vector<uint8_t> LaterSeriesDevice::PipeReceived(uint16_t pipe) const {
  std::lock_guard lock(mutex_);
  auto it = pipeOut_.find(pipe);
  return it == pipeOut_.end() ? std::vector<uint8_t>{} : it->second.Bytes();
}

std::vector<uint8_t> LaterSeriesDevice::Eeprom() const {
  std::lock_guard lock(mutex_);
  return eeprom_;
}

void LaterSeriesDevice::SetEeprom(std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  eeprom_ = std::move(bytes);
  eepromCursor_ = 0;
}

void LaterSeriesDevice::QueueSerialIn(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  serialIn_.insert(serialIn_.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> LaterSeriesDevice::SerialOut() const {
  std::lock_guard lock(mutex_);
  return serialOut_.Bytes();
}

std::optional<uint16_t> LaterSeriesDevice::FpgaOpenValue() const {
  std::lock_guard lock(mutex_);
  return fpgaOpenValue_;
}

std::vector<uint8_t> LaterSeriesDevice::FpgaImage() const {
  std::lock_guard lock(mutex_);
  return fpga_;
}

bool LaterSeriesDevice::CpuInReset() const {
  std::lock_guard lock(mutex_);
  return cpuInReset_;
}

}  // namespace sim
