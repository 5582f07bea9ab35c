// FirstSeriesDevice: the device side of the first series' protocol family on "\\.\usbbulk0": 5-byte
// command blocks (opcode, four big-endian parameter bytes, optional data) by device control, with a reply
// (0x80002004) or without (0x80002008), and bulk data by plain reads and writes.
//
// The family answers block reads (opcode 8; block 1 is the identity block), stores block writes (opcode
// 9), and arms the bulk pipes for the commands that move data (11 image and 12 magnetic samples in; 7,
// 14 and 169 out). Series hooks supply the data a read-out command delivers and see every command.
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

class FirstSeriesDevice : public ScannerDevice {
 public:
  static constexpr uint32_t kControlWithReply = 0x80002004u;
  static constexpr uint32_t kControlWithoutReply = 0x80002008u;
  static constexpr uint8_t kIdentityBlock = 1;

  // What goes wrong with a data-in phase on demand: no bytes at all, a read that times out, or fewer
  // bytes than the data holds.
  enum class DataInFault { kNone, kEmpty, kTimeOut, kShort };

  explicit FirstSeriesDevice(Identity identity) : ScannerDevice(std::move(identity)) {}

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override;
  drv::Reply Read(std::span<uint8_t> out) override;
  drv::Reply Write(std::span<const uint8_t> data) override;

  // The data of a block the host may read with opcode 8 (block 1 is built from the identity).
  void SetBlock(uint8_t block, std::vector<uint8_t> data);
  std::vector<uint8_t> Block(uint8_t block) const;
  // The command blocks received, in order (the newest PacketLog::kMaxPackets).
  std::vector<std::vector<uint8_t>> Commands() const;
  // Bytes the host wrote on the bulk pipe (the last ByteLog::kMaxBytes).
  std::vector<uint8_t> BulkReceived() const;
  // The next data-in phase of `opcode` (11 image, 12 samples) goes wrong once as `fault` says; kShort
  // sends at most `bytes` bytes of it. With kEmpty and kTimeOut nothing left the scanner, so its data
  // stays to be asked for again.
  void FailNextDataIn(uint8_t opcode, DataInFault fault, size_t bytes = 0);

 protected:
  // The bytes a data-in command (opcode 11 or 12) delivers; `count` is what the command asked for.
  virtual std::vector<uint8_t> BulkInData(const std::vector<uint8_t>& command, uint32_t count);
  // Every command, after the family has handled it; false refuses it (the call fails).
  virtual bool OnCommand(const std::vector<uint8_t>& command) {
    (void)command;
    return true;
  }
  // A block a series computes when it is read (status, serial input); nullopt: the stored one; empty:
  // an empty reply.
  virtual std::optional<std::vector<uint8_t>> DynamicBlock(uint8_t block) {
    (void)block;
    return std::nullopt;
  }
  // Every piece the host writes on the bulk pipe; false fails the write.
  virtual bool OnBulkOut(std::span<const uint8_t> data) {
    (void)data;
    return true;
  }

  std::map<uint8_t, std::vector<uint8_t>> blocks_;

 private:
  drv::Reply ReadBlock(uint8_t block, std::span<uint8_t> out);

  PacketLog commands_;
  std::deque<uint8_t> bulkIn_;
  std::map<uint8_t, std::pair<DataInFault, size_t>> dataInFaults_;
  bool timeOutNextRead_ = false;
  ByteLog bulkOut_;
};

}  // namespace sim
