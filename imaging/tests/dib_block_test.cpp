#include "imaging/dib_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/packed_dib.h"

namespace zc::imaging {
namespace {

struct CreateCase {
  std::string name;
  int width, height, bits;
  int roundedBits;
  size_t blockSize;
};

class CreateDib : public ::testing::TestWithParam<CreateCase> {};

TEST_P(CreateDib, RoundsBitsAndSizesTheBlock) {
  const CreateCase& c = GetParam();
  const auto dib = funcCreateDIB(c.width, c.height, c.bits);
  ASSERT_TRUE(dib.has_value());
  EXPECT_EQ(dib->Size(), c.blockSize);
  const auto bytes = dib->Bytes();
  EXPECT_EQ(bytes[0], 40);
  EXPECT_EQ(bytes[12], 1);  // planes
  EXPECT_EQ(bytes[14], c.roundedBits);
  EXPECT_EQ(funcDIBGetWidth(bytes), c.width);
  EXPECT_EQ(funcDIBGetHeight(bytes), c.height);
  ASSERT_NE(funcFindDIBBits(bytes), nullptr);
  EXPECT_EQ(funcFindDIBBits(bytes) - bytes.data(), 40 + funcDIBGetPaletteBytes(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreateDib,
    ::testing::Values(CreateCase{"ThreeBitsBecomeFour", 100, 50, 3, 4, 40 + 64 + 52 * 50 + 1024},
                      CreateCase{"ZeroBitsBecomeOne", 33, 2, 0, 1, 40 + 8 + 8 * 2 + 1024},
                      CreateCase{"SixBitsBecomeEight", 3, 1, 6, 8, 40 + 1024 + 4 + 1024},
                      CreateCase{"SixteenBitsBecomeTwentyFour", 5, 2, 16, 24, 40 + 16 * 2 + 1024},
                      CreateCase{"ThirtyTwoBitsBecomeFour", 8, 1, 32, 4, 40 + 64 + 4 + 1024}),
    [](const ::testing::TestParamInfo<CreateCase>& info) { return info.param.name; });

TEST(DibBlock, RefusesSidesOutOfRange) {
  EXPECT_FALSE(funcCreateDIB(0, 10, 8).has_value());
  EXPECT_FALSE(funcCreateDIB(10, -1, 8).has_value());
  EXPECT_FALSE(funcCreateDIB(32768, 1, 1).has_value());
}

TEST(DibBlock, TwentyFourBitHasNoColoursAndNoPalette) {
  const auto dib = funcCreateDIB(10, 10, 24);
  ASSERT_TRUE(dib.has_value());
  EXPECT_EQ(funcDIBGetColorCount(dib->Bytes()), 0);
  EXPECT_FALSE(funcMakeDIBLogPalette(dib->Bytes()).has_value());
}

TEST(DibBlock, CoreHeaderPaletteOfThreeByteEntries) {
  // 12-byte core header, 8 bits: 256 entries of 3 bytes.
  std::vector<uint8_t> dib(12 + 768 + 4, 0);
  dib[0] = 12;
  dib[4] = 3;   // width
  dib[6] = 1;   // height
  dib[8] = 1;   // planes
  dib[10] = 8;  // bits
  dib[12 + 3 * 5 + 0] = 0x11;  // entry 5: blue, green, red
  dib[12 + 3 * 5 + 2] = 0x33;
  EXPECT_EQ(funcDIBGetPaletteBytes(dib), 768);
  EXPECT_EQ(funcDIBGetWidth(dib), 3);
  EXPECT_EQ(funcDIBGetHeight(dib), 1);
  const auto pal = funcMakeDIBLogPalette(dib);
  ASSERT_TRUE(pal.has_value());
  EXPECT_EQ(pal->version, 0x300);
  ASSERT_EQ(pal->entries.size(), 256u);
  EXPECT_EQ(pal->entries[5].red, 0x33);
  EXPECT_EQ(pal->entries[5].blue, 0x11);
}

TEST(DibBlock, PaletteOutsideTheBlockGivesNothing) {
  const auto dib = funcCreateDIB(8, 1, 8);
  ASSERT_TRUE(dib.has_value());
  std::vector<uint8_t> cut(dib->Bytes().begin(), dib->Bytes().begin() + 40 + 100);
  EXPECT_FALSE(funcMakeDIBLogPalette(cut).has_value());
}

}  // namespace
}  // namespace zc::imaging
