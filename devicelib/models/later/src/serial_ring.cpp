// The serial receive ring.
#include "qv6/later/serial_ring.h"

namespace qv6::later {

void SerialRing::Append(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    ring_[write_] = b;
    write_ = (write_ + 1) % kSize;
    if (write_ == read_) read_ = (read_ + 1) % kSize;  // full: the oldest byte goes
  }
}

size_t SerialRing::Take(std::span<uint8_t> out) {
  size_t n = 0;
  while (n < out.size() && read_ != write_) {
    out[n++] = ring_[read_];
    read_ = (read_ + 1) % kSize;
  }
  return n;
}

}  // namespace qv6::later
