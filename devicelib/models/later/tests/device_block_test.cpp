// Device blocks: build and parse of every type, replies that are short, over-long or of another type,
// and the EEPROM record form of the same fields.
#include "qv6/later/device_block.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/byte_order.h"
#include "qv6/later/later_blocks.h"

namespace qv6 {
namespace {

using namespace later;

// Distinct values in every field, negative where the field is signed.
void FillPattern(BlockValues& v, uint16_t type) {
  const BlockLayout* l = v.table().Find(type);
  for (size_t i = 0; i < l->fields.size(); ++i) {
    int64_t value = static_cast<int64_t>(i * 37 + 11);
    if (l->fields[i].isSigned) value = -value;
    v.Set(type, i, value);
  }
}

TEST(DeviceBlock, EveryTypeOfEverySeriesRoundTrips) {
  for (const BlockTable* series : {&Qv63xBlockTable(), &Qv64xBlockTable()})
    for (const BlockLayout& layout : series->layouts()) {
      const BlockTable& table = *series;
      SCOPED_TRACE(layout.type);
      BlockValues sent(table);
      FillPattern(sent, layout.type);
      std::array<uint8_t, 2048> wire{};
      size_t n = BuildDeviceBlock(sent, layout.type, wire);
      EXPECT_EQ(plat::bytes::GetBe16(wire.data()), layout.type);
      if (layout.bareWhenBuilt) {
        EXPECT_EQ(n, 4u);  // a read request carries no payload
        continue;
      }
      ASSERT_EQ(n, layout.size + 4u);
      EXPECT_EQ(plat::bytes::GetBe16(wire.data() + 2), layout.size);
      BlockValues received(table);
      ASSERT_EQ(ParseDeviceBlock(received, {wire.data(), n}, layout.size), 1);
      EXPECT_EQ(received.Fields(layout.type), sent.Fields(layout.type));
      BlockValues fromRecord(table);
      ASSERT_TRUE(DecodePayload(fromRecord, layout.type, EncodePayload(sent, layout.type, ByteOrder::kLittle),
                                ByteOrder::kLittle));
      EXPECT_EQ(fromRecord.Fields(layout.type), sent.Fields(layout.type));
    }
}

TEST(DeviceBlock, ImageModuleWireBytes) {
  BlockValues v(Qv63xBlockTable());
  v.Set(kBlockImageModule, kImRearGainR, 0x1234);   // offset 43: odd, packed
  v.Set(kBlockImageModule, kImRearOffsetGrey, -2);  // offset 57
  v.Set(kBlockImageModule, kImRearPosition, 516);
  std::array<uint8_t, 2048> wire{};
  ASSERT_EQ(BuildDeviceBlock(v, kBlockImageModule, wire), 70u);
  EXPECT_EQ(wire[4 + 43], 0x12);
  EXPECT_EQ(wire[4 + 44], 0x34);
  EXPECT_EQ(wire[4 + 57], 0xFF);
  EXPECT_EQ(wire[4 + 58], 0xFE);
  EXPECT_EQ(plat::bytes::GetBe16(&wire[4 + 64]), 516);
  EXPECT_EQ(BuildDeviceBlock(v, 99, wire), 0u);
}

std::vector<uint8_t> Reply(uint16_t type, uint16_t claimed, size_t payloadBytes, uint8_t fill) {
  std::vector<uint8_t> r(4 + payloadBytes, fill);
  plat::bytes::PutBe16(r.data(), type);
  plat::bytes::PutBe16(r.data() + 2, claimed);
  return r;
}

TEST(DeviceBlock, Qv64xBlocksCarryTheFrankerOnTheWire) {
  BlockValues v(Qv64xBlockTable());
  v.Set(kBlockDoubleFeed, kDfDelay, 0x0102);
  v.Set(kBlockDoubleFeed, kDfFrankerMode, 2);
  v.Set(kBlockDoubleFeed, kDfFrankerAllowance, 3);
  EXPECT_EQ(EncodePayload(v, kBlockDoubleFeed, ByteOrder::kBig), (std::vector<uint8_t>{1, 2, 0, 0, 2, 3}));
  v.Set(kBlockMicrHead, kMhPosition, 250);
  v.Set(kBlockMicrHead, kMhFrequency, 62500);
  v.Set(kBlockMicrHead, kMhOffset, -1500);
  v.Set(kBlockMicrHead, kMhGainCalib, 128);
  EXPECT_EQ(EncodePayload(v, kBlockMicrHead, ByteOrder::kBig),
            (std::vector<uint8_t>{0x00, 0xFA, 0xF4, 0x24, 0x80, 0xFA, 0x24}));
  v.Set(kBlockTransport, kTsFrankPosition, 563);
  v.Set(kBlockTransport, kTsFrankDefaultMargin, 17);
  std::vector<uint8_t> transport = EncodePayload(v, kBlockTransport, ByteOrder::kBig);
  ASSERT_EQ(transport.size(), 46u);
  EXPECT_EQ(transport[34], 0x02);
  EXPECT_EQ(transport[35], 0x33);
  EXPECT_EQ(transport[45], 17);

  // A transport reply of the QV63x length leaves the franker fields as they were.
  std::vector<uint8_t> reply = {0, kBlockTransport, 0, 34};
  reply.resize(4 + 34, 0x11);
  ASSERT_EQ(ParseDeviceBlock(v, reply, 46), 1);
  EXPECT_EQ(v.Get(kBlockTransport, kTsPathLength), 0x1111);
  EXPECT_EQ(v.Get(kBlockTransport, kTsFrankPosition), 563);
  EXPECT_EQ(v.Get(kBlockTransport, kTsFrankDefaultMargin), 17);
}

TEST(DeviceBlock, ShortRepliesStoreOnlyWhatTheyCover) {
  BlockValues v(Qv63xBlockTable());
  // Status of 20 bytes: three words and record A; record B, serial count and last word read 0.
  v.Set(kBlockStatus, size_t{kRecordB} + kRecWord, 77);
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockStatus, 20, 20, 0x01), 38), 1);
  EXPECT_EQ(v.Get(kBlockStatus, kSensor), 0x0101);
  EXPECT_EQ(v.Get(kBlockStatus, size_t{kRecordA} + kRecSamples), 0x0101);
  EXPECT_EQ(v.Get(kBlockStatus, size_t{kRecordB} + kRecWord), 0);
  EXPECT_EQ(v.Get(kBlockStatus, kSerialCount), 0);
  // Status of 19 bytes: record A is not stored at all.
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockStatus, 19, 19, 0x01), 38), 1);
  EXPECT_EQ(v.Get(kBlockStatus, size_t{kRecordA} + kRecSequence), 0);

  // Image module of 43 bytes: front fields and front PWMs, no rear gain.
  v.Set(kBlockImageModule, kImRearGainR, 999);
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockImageModule, 43, 43, 0x02), 66), 1);
  EXPECT_EQ(v.Get(kBlockImageModule, kImFrontPwmB), 2);
  EXPECT_EQ(v.Get(kBlockImageModule, kImRearGainR), 999);

  // Ramps of 200 bytes: acceleration table stored, deceleration unchanged.
  v.Set(kBlockRamp0, 2 * kRampEntries, 1234);
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockRamp0, 200, 200, 0x00), 320), 1);
  EXPECT_EQ(v.Get(kBlockRamp0, 2 * kRampEntries), 1234);
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockRamp0, 320, 320, 0x00), 320), 1);
  EXPECT_EQ(v.Get(kBlockRamp0, 2 * kRampEntries), 0);

  // Acquisition records only when all 95 bytes arrived.
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockAcquisition, 94, 94, 0x03), 95), 1);
  EXPECT_EQ(v.Get(kBlockAcquisition, kAcqChannelBytes), 0);
  EXPECT_EQ(v.Get(kBlockAcquisition, kAcqLineSetting), 0x0303);
}

TEST(DeviceBlock, FramingThatLiesIsBoundedAndTheTypeComesFromTheReply) {
  BlockValues v(Qv63xBlockTable());
  // Claims 38 bytes but only 6 were asked: only the three words are taken.
  auto reply = Reply(kBlockStatus, 38, 38, 0x07);
  ASSERT_EQ(ParseDeviceBlock(v, reply, 6), 1);
  EXPECT_EQ(v.Get(kBlockStatus, kError), 0x0707);
  EXPECT_EQ(v.Get(kBlockStatus, size_t{kRecordA} + kRecWord), 0);
  // Claims more than the reply holds.
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockStatus, 0xFFFF, 4, 0x07), 38), 1);
  EXPECT_EQ(v.Get(kBlockStatus, kState), 0x0707);
  EXPECT_EQ(v.Get(kBlockStatus, kError), 0);
  // A reply of another known type is stored as that type; an unknown type or no framing fails.
  ASSERT_EQ(ParseDeviceBlock(v, Reply(kBlockMicrHead, 6, 6, 0xFF), 38), 1);
  EXPECT_EQ(v.Get(kBlockMicrHead, kMhOffset), -1);
  EXPECT_EQ(ParseDeviceBlock(v, Reply(6, 2, 2, 0), 38), 0);
  EXPECT_EQ(ParseDeviceBlock(v, std::vector<uint8_t>{0, 2, 0}, 38), 0);
}

}  // namespace
}  // namespace qv6
