// Small codings of the later series: command packets per opcode, gain and offset codes, colour shares,
// the channel records, and the serial receive ring.
#include <gtest/gtest.h>

#include <vector>

#include "qv6/later/channel_settings.h"
#include "qv6/later/command_packet.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/serial_ring.h"

namespace qv6 {
namespace {

using namespace later;

TEST(CommandPacket, BytesPerOpcode) {
  DeviceCommandRequest r;
  r.p = {11, 12, 13, 14, 15};
  struct Case {
    uint8_t opcode;
    std::vector<uint8_t> packet;
  } cases[] = {
      {1, {0, 1, 11, 12, 13, 14, 15}},
      {2, {0, 2}},
      {3, {0, 3}},
      {4, {0, 4}},
      {5, {0, 5, 11, 12}},
      {7, {0, 7}},
      {8, {0, 8, 11}},
      {9, {0, 9, 11, 12}},
      {10, {0, 10, 11, 12}},
      {11, {0, 11, 11, 12}},
      {12, {0, 12, 11, 12, 13, 14, 15}},
      {0, {}},
      {6, {}},
      {13, {}},
      {255, {}},
  };
  for (const Case& c : cases) {
    r.opcode = c.opcode;
    EXPECT_EQ(PackCommand(r, Qv63xOpcodes()), c.packet) << int{c.opcode};
  }
}

TEST(ChannelSettings, GainAndOffsetCodes) {
  struct Gain {
    int gain;
    int code;
  } gains[] = {{0, 0}, {999, 0}, {1000, 0}, {3000, 51}, {5700, 63}, {5701, 63}, {100000, 63}};
  for (const Gain& g : gains) EXPECT_EQ(GainCode(g.gain), g.code) << g.gain;

  struct Offset {
    int value;
    uint8_t code;
    uint8_t magnitude;
  } offsets[] = {{1, 0x50, 1}, {255, 0x50, 255},  {256, 0x50, 255},
                 {0, 0x51, 0}, {-255, 0x51, 255}, {-300, 0x51, 255}};
  for (const Offset& o : offsets) {
    uint8_t code = 0, magnitude = 0;
    SignMagnitude(o.value, 0x50, &code, &magnitude);
    EXPECT_EQ(code, o.code) << o.value;
    EXPECT_EQ(magnitude, o.magnitude) << o.value;
  }
  EXPECT_EQ(HeadOffsetValue(-1500), 108);  // the default head offset
  EXPECT_EQ(HeadOffsetValue(1500), -108);
  EXPECT_EQ(OffsetValue(35), 2);
  EXPECT_EQ(OffsetValue(-35), -2);
}

TEST(ChannelSettings, ColourShares) {
  struct Case {
    unsigned r, g, b;
    int rr, gg, bb;
  } cases[] = {{100, 100, 100, 33, 34, 33}, {0, 0, 0, 33, 34, 33}, {50, 0, 0, 100, 0, 0},
               {10, 20, 70, 10, 20, 70},    {1, 1, 1, 33, 34, 33}, {30, 10, 30, 44, 14, 42}};
  for (const Case& c : cases) {
    int r = 0, g = 0, b = 0;
    ComputeColorRatios(c.r, c.g, c.b, &r, &g, &b);
    EXPECT_EQ(r, c.rr);
    EXPECT_EQ(g, c.gg);
    EXPECT_EQ(b, c.bb);
  }
}

TEST(ChannelSettings, RecordsFromTheImageModule) {
  BlockValues v(Qv63xBlockTable());
  v.Set(kBlockMicrHead, kMhOffset, -1500);
  v.Set(kBlockImageModule, kImFrontGainGrey, 3000);
  v.Set(kBlockImageModule, kImFrontOffsetGrey, -70);
  for (size_t c = 0; c < 3; ++c) v.Set(kBlockImageModule, kImFrontPwmR + c, 181);
  v.Set(kBlockImageModule, kImRearGainG, 5700);
  v.Set(kBlockImageModule, kImRearOffsetR, 700);
  v.Set(kBlockImageModule, kImRearPwmG, 90);
  PrepareChannelRecords(v);
  ComputeChannelSettings(v, Side::kFront, 1, 33, 34, 33, 100, 0);  // grey: all three LEDs at half
  ComputeChannelSettings(v, Side::kRear, 1, 0, 100, 0, 100, 1);    // green LED, red gain and offset
  auto byte = [&](int i) { return v.Get(kBlockAcquisition, kAcqChannelBytes + kChannelRecordSize + i); };
  std::vector<int64_t> record;
  for (int i = 0; i < 23; ++i) record.push_back(byte(i));
  // Front grey: gain 3000 -> 51, offset -70 -> 0x51/5, each PWM halved. Rear: red gain 0 -> 0, red
  // offset 700 -> 0x60/51, only the green PWM. Head offset -1500 -> 0x70/108.
  std::vector<int64_t> expected = {23, 0,    0x68, 0x10, 0xC0, 32, 51, 48, 0, 0x40, 0, 0x51,
                                   5,  0x60, 51,   0x70, 108,  90, 90, 90, 0, 90,   0};
  EXPECT_EQ(record, expected);
}

TEST(SerialRing, KeepsOrderAndDropsTheOldestWhenFull) {
  SerialRing ring;
  std::vector<uint8_t> in(1500);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7);
  ring.Append({in.data(), 1000});
  std::vector<uint8_t> out(10);
  ASSERT_EQ(ring.Take(out), 10u);
  EXPECT_EQ(out[9], in[9]);
  ring.Append({in.data() + 1000, 500});  // 1490 unread: the newest 1023 stay
  std::vector<uint8_t> all(2000);
  size_t n = ring.Take(all);
  ASSERT_EQ(n, 1023u);
  EXPECT_TRUE(std::equal(all.begin(), all.begin() + 1023, in.end() - 1023));
  EXPECT_TRUE(ring.empty());
  EXPECT_EQ(ring.Take(all), 0u);
}

}  // namespace
}  // namespace qv6
