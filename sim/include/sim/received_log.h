// What a simulated scanner received, kept for tests to read back: the newest entries only, so a scanner
// that runs for thousands of documents does not keep every block, command and pipe write it was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace sim {

// Packets (blocks, commands), oldest first: at most kMaxPackets, the oldest dropped first.
class PacketLog {
 public:
  static constexpr size_t kMaxPackets = 1024;

  void Add(std::span<const uint8_t> packet) {
    if (packets_.size() >= kMaxPackets) packets_.pop_front();
    packets_.emplace_back(packet.begin(), packet.end());
  }
  std::vector<std::vector<uint8_t>> Packets() const { return {packets_.begin(), packets_.end()}; }

 private:
  std::deque<std::vector<uint8_t>> packets_;
};

// A byte stream (a pipe or port the host writes to): its last kMaxBytes bytes.
class ByteLog {
 public:
  static constexpr size_t kMaxBytes = size_t{1} << 20;

  void Add(std::span<const uint8_t> bytes) {
    if (bytes.size() >= kMaxBytes) {
      bytes_.assign(bytes.end() - static_cast<std::ptrdiff_t>(kMaxBytes), bytes.end());
      return;
    }
    const size_t over = bytes_.size() + bytes.size() > kMaxBytes ? bytes_.size() + bytes.size() - kMaxBytes : 0;
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(over));
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> Bytes() const { return {bytes_.begin(), bytes_.end()}; }

 private:
  std::deque<uint8_t> bytes_;
};

}  // namespace sim
