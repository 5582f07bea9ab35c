// The first series' protocol family: command blocks, block reads and writes, and the bulk pipes.
#include "sim/first_series_device.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace sim {
namespace {

constexpr uint8_t kOpBlockRead = 8;
constexpr uint8_t kOpBlockWrite = 9;
constexpr uint8_t kOpImageRead = 11;
constexpr uint8_t kOpSampleRead = 12;
constexpr size_t kCommandLength = 5;
// A scanner never sends more than this in one data phase; larger requests get this much.
constexpr uint32_t kMaxBulkIn = 1u << 24;

}  // namespace

drv::Reply FirstSeriesDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  if (in.size() < kCommandLength) return drv::Reply::Fail(drv::kErrorInvalidParameter);
  std::vector<uint8_t> command(in.begin(), in.end());
  commands_.Add(command);
  uint8_t opcode = in[0];

  if (code == kControlWithReply) {
    if (opcode != kOpBlockRead) return drv::Reply::Fail(drv::kErrorInvalidFunction);
    if (!OnCommand(command)) return drv::Reply::Fail(drv::kErrorGenFailure);
    return ReadBlock(in[1], out);
  }
  if (code != kControlWithoutReply) return drv::Reply::Fail(drv::kErrorInvalidFunction);

  switch (opcode) {
    case kOpBlockWrite: {
      // Block number in byte 1; the payload (a whole block for settings) follows the command. A payload
      // that opens with its own block head is stored as the head's data, so a read gives it back.
      std::span<const uint8_t> payload = in.subspan(kCommandLength);
      if (payload.size() >= 4 && payload[0] == in[1] && payload[1] == 0) {
        size_t length = std::min<size_t>(plat::bytes::GetBe16(&payload[2]), payload.size() - 4);
        blocks_[in[1]].assign(payload.begin() + 4, payload.begin() + 4 + static_cast<std::ptrdiff_t>(length));
      } else {
        blocks_[in[1]].assign(payload.begin(), payload.end());
      }
      break;
    }
    case kOpImageRead:
    case kOpSampleRead: {
      uint32_t count =
          opcode == kOpImageRead ? (plat::bytes::GetBe32(&in[1]) & 0xFFFFFFu) : plat::bytes::GetBe32(&in[1]);
      std::vector<uint8_t> data;
      auto fault = dataInFaults_.find(opcode);
      if (fault != dataInFaults_.end()) {
        const auto [kind, bytes] = fault->second;
        dataInFaults_.erase(fault);
        if (kind == DataInFault::kShort) {
          data = BulkInData(command, std::min(count, kMaxBulkIn));
          data.resize(std::min(data.size(), bytes));
        } else {
          // Nothing left the scanner: the data stays for the host to ask again.
          timeOutNextRead_ = kind == DataInFault::kTimeOut;
        }
      } else {
        data = BulkInData(command, std::min(count, kMaxBulkIn));
      }
      bulkIn_.assign(data.begin(), data.end());
      break;
    }
    default:
      break;
  }
  if (!OnCommand(command)) return drv::Reply::Fail(drv::kErrorGenFailure);
  return drv::Reply::Done(0);
}

drv::Reply FirstSeriesDevice::ReadBlock(uint8_t block, std::span<uint8_t> out) {
  std::vector<uint8_t> data;
  if (auto dynamic = DynamicBlock(block)) {
    if (dynamic->empty()) return drv::Reply::Done(0);
    data = std::move(*dynamic);
  } else if (block == kIdentityBlock) {
    data = identity_.EncodeBlock();
  } else {
    auto it = blocks_.find(block);
    if (it == blocks_.end()) return drv::Reply::Done(0);  // nothing to say: an empty reply
    data = it->second;
  }
  // Head: block number, 0, data length big-endian; then the data.
  std::vector<uint8_t> reply = {block, 0, static_cast<uint8_t>(data.size() >> 8),
                                static_cast<uint8_t>(data.size())};
  reply.insert(reply.end(), data.begin(), data.end());
  size_t n = std::min(reply.size(), out.size());
  std::copy_n(reply.begin(), n, out.begin());
  return drv::Reply::Done(n);
}

drv::Reply FirstSeriesDevice::Read(std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  if (timeOutNextRead_) {
    timeOutNextRead_ = false;
    return drv::Reply::Fail(drv::kErrorSemTimeout);
  }
  size_t n = std::min(out.size(), bulkIn_.size());
  std::copy_n(bulkIn_.begin(), n, out.begin());
  bulkIn_.erase(bulkIn_.begin(), bulkIn_.begin() + static_cast<std::ptrdiff_t>(n));
  return drv::Reply::Done(n);
}

drv::Reply FirstSeriesDevice::Write(std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  bulkOut_.Add(data);
  if (!OnBulkOut(data)) return drv::Reply::Fail(drv::kErrorGenFailure);
  return drv::Reply::Done(data.size());
}

std::vector<uint8_t> FirstSeriesDevice::BulkInData(const std::vector<uint8_t>& command, uint32_t count) {
  (void)command;
  return std::vector<uint8_t>(count, 0);
}

void FirstSeriesDevice::SetBlock(uint8_t block, std::vector<uint8_t> data) {
  std::lock_guard lock(mutex_);
  blocks_[block] = std::move(data);
}

std::vector<uint8_t> FirstSeriesDevice::Block(uint8_t block) const {
  std::lock_guard lock(mutex_);
  auto it = blocks_.find(block);
  return it == blocks_.end() ? std::vector<uint8_t>{} : it->second;
}

std::vector<std::vector<uint8_t>> FirstSeriesDevice::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_.Packets();
}

void FirstSeriesDevice::FailNextDataIn(uint8_t opcode, DataInFault fault, size_t bytes) {
  std::lock_guard lock(mutex_);
  if (fault == DataInFault::kNone) {
    dataInFaults_.erase(opcode);
  } else {
    dataInFaults_[opcode] = {fault, bytes};
  }
}

std::vector<uint8_t> FirstSeriesDevice::BulkReceived() const {
  std::lock_guard lock(mutex_);
  return bulkOut_.Bytes();
}

}  // namespace sim
