// LaterSeriesDevice: the device side of the later series' protocol family behind the numbered driver
// devices: vendor requests (0x222059) keyed on direction, request code and index, the identification
// request (0x222004), and bulk pipes (0x222051 write, 0x22204E read).
//
// The family keeps what every later series has: typed blocks to the host (type 1 is built from the
// identity), blocks and command packets from the host, the EEPROM byte array with its cursor, the serial
// port queues, the FPGA image, controller memory writes (0xE600 holds the CPU in reset) and per-pipe data.
// A series sets its identification codes and may override the hooks to give its blocks and commands
// meaning.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "sim/received_log.h"
#include "sim/scanner_device.h"

namespace sim {

class LaterSeriesDevice : public ScannerDevice {
 public:
  static constexpr uint32_t kIoctlVendorRequest = 0x222059;
  static constexpr uint32_t kIoctlPipeWrite = 0x222051;
  static constexpr uint32_t kIoctlPipeRead = 0x22204E;
  static constexpr uint32_t kIoctlIdentify = 0x222004;
  static constexpr uint16_t kIdentityBlock = 1;
  static constexpr uint16_t kCpuResetAddress = 0xE600;
  static constexpr size_t kPipePacket = 512;

  LaterSeriesDevice(Identity identity, IdentificationCodes codes, size_t eepromSize);

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;

  IdentificationCodes codes() const;
  void SetCodes(IdentificationCodes codes);

  // The payload of a block type the host may read (type 1 is built from the identity).
  void SetBlock(uint16_t type, std::vector<uint8_t> payload);
  // Blocks and command packets received from the host, in order (the newest PacketLog::kMaxPackets).
  std::vector<std::vector<uint8_t>> BlocksReceived() const;
  std::vector<std::vector<uint8_t>> CommandsReceived() const;
  // Queues data for a pipe read, padded to whole 512-byte packets.
  void QueuePipeData(uint16_t pipe, std::span<const uint8_t> data);
  // Drops what a pipe still holds (a new request replaces the data of the last one).
  void ClearPipeData(uint16_t pipe);
  // What the host wrote to a pipe (the last ByteLog::kMaxBytes bytes).
  std::vector<uint8_t> PipeReceived(uint16_t pipe) const;
  std::vector<uint8_t> Eeprom() const;
  void SetEeprom(std::vector<uint8_t> bytes);
  void QueueSerialIn(std::span<const uint8_t> bytes);
  std::vector<uint8_t> SerialOut() const;
  std::vector<uint8_t> FpgaImage() const;
  // The value of the last request that opened an FPGA transfer; nullopt before any.
  std::optional<uint16_t> FpgaOpenValue() const;
  bool CpuInReset() const;

 protected:
  // The payload of block `type` for a read of at most `capacity` payload bytes; false: no such block.
  virtual bool BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload);
  // A block (whole framing) and a command packet from the host; false refuses it.
  virtual bool OnBlock(std::span<const uint8_t> block) {
    (void)block;
    return true;
  }
  virtual bool OnCommandPacket(std::span<const uint8_t> packet) {
    (void)packet;
    return true;
  }
  // A control request without data (codes 0x41, 0x42, 0x43: the QV62x announcements); false refuses it.
  virtual bool OnControlRequest(uint8_t code, uint16_t value, uint16_t index) {
    (void)code;
    (void)value;
    (void)index;
    return true;
  }
  // Bytes the serial port received that the host has not read yet (called with the lock held).
  size_t SerialWaiting() const { return serialIn_.size(); }

 private:
  drv::Reply VendorRequest(std::span<const uint8_t> in, std::span<uint8_t> out);
  drv::Reply DeviceToHost(uint8_t code, uint16_t value, uint16_t index, std::span<uint8_t> out);
  drv::Reply HostToDevice(uint8_t code, uint16_t value, uint16_t index, std::span<const uint8_t> data);
  drv::Reply PipeRead(uint16_t pipe, std::span<uint8_t> out);

  IdentificationCodes codes_;
  std::map<uint16_t, std::vector<uint8_t>> blocks_;
  PacketLog blocksReceived_;
  PacketLog commandsReceived_;
  std::map<uint16_t, std::deque<uint8_t>> pipeIn_;
  std::map<uint16_t, ByteLog> pipeOut_;
  std::vector<uint8_t> eeprom_;
  size_t eepromCursor_ = 0;
  std::deque<uint8_t> serialIn_;
  ByteLog serialOut_;
  std::vector<uint8_t> fpga_;
  bool fpgaOpen_ = false;
  std::optional<uint16_t> fpgaOpenValue_;
  std::map<uint16_t, std::vector<uint8_t>> memory_;
  bool cpuInReset_ = false;
};

}  // namespace sim
