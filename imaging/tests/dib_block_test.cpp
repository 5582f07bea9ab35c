#include "imaging/dib_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/dib_device.h"
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

namespace zc::imaging {
namespace {

struct RoundTripCase {
  std::string name;
  int bits;
};

class DibDeviceRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// A DIB with a palette of distinct colours and every index in use comes back from the device bitmap with
// the same palette and pixel bytes.
TEST_P(DibDeviceRoundTrip, PixelsSurviveDibToSurfaceToDib) {
  const int bits = GetParam().bits;
  const int w = 37, h = 9;
  auto dib = funcCreateDIB(w, h, bits);
  ASSERT_TRUE(dib.has_value());
  auto bytes = dib->Bytes();
  const int colours = funcDIBGetColorCount(bytes);
  for (int i = 0; i < colours; ++i) {
    uint8_t* q = bytes.data() + 40 + 4 * i;
    q[0] = static_cast<uint8_t>(i * 5);
    q[1] = static_cast<uint8_t>(255 - i);
    q[2] = static_cast<uint8_t>(i * 11 + 3);
  }
  uint8_t* px = bytes.data() + 40 + funcDIBGetPaletteBytes(bytes);
  const size_t stride = ((static_cast<size_t>(bits) * w + 31) / 32) * 4;
  const size_t used = (static_cast<size_t>(bits) * w + 7) / 8;
  for (int y = 0; y < h; ++y)
    for (size_t k = 0; k < used; ++k) px[y * stride + k] = static_cast<uint8_t>((y * 31 + k * 17) * 7);
  if ((bits * w) % 8) {  // the bits past the width stay clear
    const int spare = 8 - (bits * w) % 8;
    for (int y = 0; y < h; ++y) px[y * stride + used - 1] &= static_cast<uint8_t>(0xFF << spare);
  }

  const auto surface = funcDIBHandleToDeviceBitmap(*dib, nullptr);
  ASSERT_TRUE(surface.has_value());
  EXPECT_EQ(surface->Width(), w);
  EXPECT_EQ(surface->Height(), h);
  const auto palette = funcMakeDIBLogPalette(bytes);
  const auto back = bits == 24 ? funcDeviceBitmapToDIBHandle(*surface, nullptr)
                               : funcConvertBitmapDepth(*surface, bits, 0, palette ? &*palette : nullptr);
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->Size(), dib->Size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), back->Bytes().begin()));
}

INSTANTIATE_TEST_SUITE_P(Depths, DibDeviceRoundTrip,
                         ::testing::Values(RoundTripCase{"OneBit", 1}, RoundTripCase{"FourBit", 4},
                                           RoundTripCase{"EightBit", 8}, RoundTripCase{"TwentyFourBit", 24}),
                         [](const auto& p) { return p.param.name; });

TEST(DibDevice, MonochromeSurfaceReadsBackAsBlackAndWhite) {
  ui::Surface mono(10, 3, ui::Surface::Format::Mono1);
  mono.SetPixel(0, 0, ui::kBlack);
  mono.SetPixel(9, 2, ui::kBlack);
  const auto dib = funcDeviceBitmapToDIBHandle(mono, nullptr);
  ASSERT_TRUE(dib.has_value());
  EXPECT_EQ(dib->Bytes()[14], 1);
  const auto back = funcDIBHandleToDeviceBitmap(*dib, nullptr);
  ASSERT_TRUE(back.has_value());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(back->Pixel(x, y), mono.Pixel(x, y)) << x << "," << y;
  // Through 8 bits with the default palette and back to 1 bit: still the same pixels.
  const auto eight = funcConvertDIBDepth(*dib, 8, 0);
  ASSERT_TRUE(eight.has_value());
  EXPECT_EQ(eight->Bytes()[14], 8);
  EXPECT_FALSE(funcConvertDIBDepth(*dib, 8, 1).has_value());  // no compressed forms
}

TEST(DibDevice, ScreenColourCountAndSystemPalette) {
  ui::DisplayInfo trueColour;
  ui::DisplayInfo palette;
  palette.colours = ui::DisplayInfo::Colours::Palette256;
  EXPECT_EQ(funcDeviceColorCount(palette), 256);
  EXPECT_GT(funcDeviceColorCount(trueColour), 256);
  EXPECT_TRUE(funcSnapshotSystemPalette(trueColour).entries.empty());
  const LogPalette system = funcSnapshotSystemPalette(palette);
  ASSERT_EQ(system.entries.size(), 256u);
  EXPECT_EQ(system.entries[255].red, 255);
  EXPECT_EQ(system.entries[0].red, 0);
}

}  // namespace
}  // namespace zc::imaging
