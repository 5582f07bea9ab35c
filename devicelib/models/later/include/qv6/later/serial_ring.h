// The serial-port receive ring of a later-series template: 1024 bytes the scanner's serial port received,
// handed out oldest first. When more arrive than it holds, the oldest bytes are dropped, so the newest
// 1023 stay in order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qv6::later {

class SerialRing {
 public:
  static constexpr size_t kSize = 1024;

  void Append(std::span<const uint8_t> bytes);
  // Copies up to out.size() bytes, oldest first; returns the number copied.
  size_t Take(std::span<uint8_t> out);
  bool empty() const { return read_ == write_; }
  size_t size() const { return (write_ + kSize - read_) % kSize; }

 private:
  std::array<uint8_t, kSize> ring_{};
  size_t read_ = 0;
  size_t write_ = 0;
};

}  // namespace qv6::later
