// The image-transfer block: big-endian fields, and the payloads a device refuses.
#include "sim/documents/transfer_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace sim::documents {
namespace {

TEST(TransferBlock, ReadsBigEndianFieldsAndRefusesBadPayloads) {
  const std::vector<uint8_t> ok{7, 1, 1, 2, 0x01, 0x02, 0x05, 0x06, 0x00, 0x80, 0x03, 0x80};
  const auto b = ParseTransferBlock(ok);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->sequence, 7);
  EXPECT_EQ(b->side, 1);
  EXPECT_TRUE(b->request.halfSize);
  EXPECT_EQ(b->request.firstLine, 0x102);
  EXPECT_EQ(b->request.endLine, 0x506);
  EXPECT_EQ(b->request.firstPixel, 0x80);
  EXPECT_EQ(b->request.endPixel, 0x380);
  EXPECT_EQ(b->request.Lines(), (0x506 - 0x102) / 2);
  EXPECT_EQ(b->request.Pixels(), 0x300 / 2);

  struct Bad {
    const char* why;
    size_t at;
    uint8_t value;
  };
  for (const Bad& bad : {Bad{"side 2", 1, 2}, Bad{"half-size 2", 2, 2}, Bad{"end line before first", 6, 0},
                         Bad{"end pixel before first", 8, 0x04}}) {
    std::vector<uint8_t> p = ok;
    p[bad.at] = bad.value;
    EXPECT_FALSE(ParseTransferBlock(p)) << bad.why;
  }
  EXPECT_FALSE(ParseTransferBlock(std::span(ok).first(11)));
}

}  // namespace
}  // namespace sim::documents
