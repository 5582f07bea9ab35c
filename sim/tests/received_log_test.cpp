// The simulated scanners' logs of what they received keep only the newest packets and bytes, in order.
#include "sim/received_log.h"

#include <gtest/gtest.h>

#include <numeric>

namespace sim {
namespace {

TEST(ReceivedLog, PacketsBeyondTheBoundDropTheOldest) {
  PacketLog log;
  for (size_t i = 0; i < PacketLog::kMaxPackets + 5; ++i) {
    const uint8_t packet[2] = {static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
    log.Add(packet);
  }
  const auto packets = log.Packets();
  ASSERT_EQ(packets.size(), PacketLog::kMaxPackets);
  EXPECT_EQ(packets.front(), (std::vector<uint8_t>{0, 5}));
  const size_t last = PacketLog::kMaxPackets + 4;
  EXPECT_EQ(packets.back(), (std::vector<uint8_t>{static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last)}));
}

TEST(ReceivedLog, BytesKeepTheLastOnesAcrossWritesOfAnySize) {
  std::vector<uint8_t> stream(ByteLog::kMaxBytes + 300);
  std::iota(stream.begin(), stream.end(), uint8_t{0});
  const std::vector<uint8_t> tail(stream.end() - static_cast<std::ptrdiff_t>(ByteLog::kMaxBytes), stream.end());

  ByteLog small;  // many writes crossing the bound
  for (size_t at = 0; at < stream.size(); at += 4096) {
    small.Add(std::span(stream).subspan(at, std::min<size_t>(4096, stream.size() - at)));
  }
  EXPECT_EQ(small.Bytes(), tail);

  ByteLog big;  // one write larger than the bound
  big.Add(std::vector<uint8_t>{1, 2, 3});
  big.Add(stream);
  EXPECT_EQ(big.Bytes(), tail);

  ByteLog few;
  few.Add(std::vector<uint8_t>{7, 8});
  few.Add(std::vector<uint8_t>{9});
  EXPECT_EQ(few.Bytes(), (std::vector<uint8_t>{7, 8, 9}));
}

}  // namespace
}  // namespace sim
