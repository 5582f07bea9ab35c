// Fuzz entry for the serial receive ring: the input is a run of operations, each an opcode byte and its
// bytes. Even opcodes append the next (opcode / 2) input bytes as one received piece, odd ones take up to
// (opcode / 2) bytes into an exact-size buffer. A plain queue that drops its oldest byte beyond 1023 is
// the reference: the ring must hand out the same bytes in the same order and report the same size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "qv6/later/serial_ring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using qv6::later::SerialRing;
  SerialRing ring;
  std::deque<uint8_t> expected;
  size_t at = 0;
  while (at < size) {
    const uint8_t op = data[at++];
    // Pieces longer than the ring come from repeating the byte run, so the overflow path is reached
    // without inputs of kilobytes.
    const size_t n = op / 2;
    if ((op & 1) == 0) {
      const size_t repeat = n > 100 ? 12 : 1;
      const size_t have = std::min(n, size - at);
      std::vector<uint8_t> piece;
      for (size_t r = 0; r < repeat; ++r) piece.insert(piece.end(), data + at, data + at + have);
      at += have;
      ring.Append(piece);
      for (uint8_t b : piece) {
        expected.push_back(b);
        if (expected.size() > SerialRing::kSize - 1) expected.pop_front();
      }
    } else {
      std::vector<uint8_t> out(n);
      const size_t got = ring.Take(out);
      if (got > n || got != std::min(n, expected.size())) __builtin_trap();
      for (size_t i = 0; i < got; ++i) {
        if (out[i] != expected.front()) __builtin_trap();
        expected.pop_front();
      }
    }
    if (ring.size() != expected.size() || ring.empty() != expected.empty()) __builtin_trap();
  }
  return 0;
}
