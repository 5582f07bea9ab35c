#include "imaging/fixed_threshold_bw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging_test_support.h"
#include "scratch_device_file.h"
#include "zarn/params.h"

namespace zc::imaging {
namespace {

using test::HeaderOf;
using test::MakeRecord;
using test::PixelsOf;

class FixedThresholdBw : public ::testing::Test {
 protected:
  void TearDown() override { zarn::ResetParamsForTests(); }
  zarn::testing::ScratchDeviceFile deviceFile_;
};

TEST_F(FixedThresholdBw, OneBitSourceIsRefusedAfterTheHeaderIsWritten) {
  auto src = MakeRecord(16, 2, 1, 200);
  std::vector<uint8_t> out(8 + 2 * 2, 0xEE);
  EXPECT_EQ(funcConvGrayToBW(src, 100, out), -552);
  const RecordHeader h = HeaderOf(out);
  EXPECT_EQ(h.width, 16);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.bits, 1);
  EXPECT_EQ(h.dpi, 200);
}

TEST_F(FixedThresholdBw, FourBitLeftPixelByWholeByteRightByNibble) {
  // 0x54: the left pixel is judged as 84 (white at 82), the right as 4 * 16 = 64 (black).
  auto src = MakeRecord(2, 1, 4, 200, {0x54});
  std::vector<uint8_t> out(8 + 1);
  ASSERT_EQ(funcConvGrayToBW(src, 82, out), 0);
  EXPECT_EQ(PixelsOf(out), std::vector<uint8_t>{0x40});
}

TEST_F(FixedThresholdBw, ThresholdIsInclusiveAndTailBitsStayWhite) {
  // Ten 8-bit pixels: 100 is black at threshold 100, 101 white; the six bits past the width stay 0.
  auto src = MakeRecord(10, 1, 8, 200, {100, 101, 0, 255, 100, 101, 0, 255, 0, 101});
  std::vector<uint8_t> out(8 + 2);
  ASSERT_EQ(funcConvGrayToBW(src, 100, out), 0);
  EXPECT_EQ(PixelsOf(out), (std::vector<uint8_t>{0xAA, 0x80}));
}

TEST_F(FixedThresholdBw, TwentyFourBitExtremesThroughTheByteTables) {
  // White gives 255 (black only at threshold 255), black gives 0 (black at threshold 0).
  auto src = MakeRecord(2, 1, 24, 200, {255, 255, 255, 0, 0, 0});
  std::vector<uint8_t> out(8 + 1);
  ASSERT_EQ(funcConvGrayToBW(src, 254, out), 0);
  EXPECT_EQ(PixelsOf(out), std::vector<uint8_t>{0x40});
  ASSERT_EQ(funcConvGrayToBW(src, 255, out), 0);
  EXPECT_EQ(PixelsOf(out), std::vector<uint8_t>{0xC0});
}

TEST_F(FixedThresholdBw, TwentyFourBitPixelsAreReadRedGreenBlue) {
  // Pure red, green and blue weigh 76, 150 and 29; each threshold step blackens one more of them.
  auto src = MakeRecord(3, 1, 24, 200, {255, 0, 0, 0, 255, 0, 0, 0, 255});
  const struct {
    int threshold;
    uint8_t bits;
  } cases[] = {{28, 0x00}, {29, 0x20}, {75, 0x20}, {76, 0xA0}, {149, 0xA0}, {150, 0xE0}};
  for (const auto& c : cases) {
    std::vector<uint8_t> out(8 + 1);
    ASSERT_EQ(funcConvGrayToBW(src, c.threshold, out), 0);
    EXPECT_EQ(PixelsOf(out), std::vector<uint8_t>{c.bits}) << "threshold " << c.threshold;
  }
}

TEST_F(FixedThresholdBw, OutputBufferTooSmallIsRefused) {
  auto src = MakeRecord(16, 4, 8, 200);
  std::vector<uint8_t> out(8 + 7);
  EXPECT_EQ(funcConvGrayToBW(src, 100, out), -552);
}

// Blob darkening on a white 8-bit canvas with mid-gray squares.
struct BlobCase {
  std::string name;
  int param;
  int width, height;
  int side;        // square side; 0 for none
  int x, y;        // top-left corner of the first square
  int squares;     // squares placed side by side, 12 px apart
  bool painted;
};

class DarkenGrayBlobs : public ::testing::TestWithParam<BlobCase> {
 protected:
  void TearDown() override { zarn::ResetParamsForTests(); }
  zarn::testing::ScratchDeviceFile deviceFile_;
};

TEST_P(DarkenGrayBlobs, PaintsOnlyAcceptedBlobs) {
  const BlobCase& c = GetParam();
  ASSERT_GE(zarn::funcTableSetParam(171, c.param), 0);
  auto rec = MakeRecord(c.width, c.height, 8, 200, std::vector<uint8_t>(static_cast<size_t>(c.width) * c.height, 230));
  for (int s = 0; s < c.squares; ++s)
    for (int y = c.y; y < c.y + c.side; ++y)
      for (int x = c.x + s * 12; x < c.x + s * 12 + c.side; ++x) rec[8 + static_cast<size_t>(y) * c.width + x] = 100;
  const auto before = rec;
  ASSERT_EQ(funcDarkenGrayBlobs(rec), 0);
  if (!c.painted) {
    EXPECT_EQ(rec, before);
    return;
  }
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const uint8_t was = before[8 + static_cast<size_t>(y) * c.width + x];
      EXPECT_EQ(rec[8 + static_cast<size_t>(y) * c.width + x], was == 100 ? 0 : was) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DarkenGrayBlobs,
    ::testing::Values(BlobCase{"ParameterZeroChangesNothing", 0, 200, 200, 10, 120, 110, 1, false},
                      BlobCase{"TenSquareInLowerRightIsPainted", 1, 200, 200, 10, 120, 100, 1, true},
                      BlobCase{"TenSquareAnywhereWithWholeImage", 2, 200, 200, 10, 5, 5, 1, true},
                      BlobCase{"FiveSquareIsKept", 1, 200, 200, 5, 120, 100, 1, false},
                      BlobCase{"TenSquareNearBottomIsKept", 2, 200, 200, 10, 50, 120, 1, false},
                      BlobCase{"NarrowBlobsNearBottomUpToAnEighthArePainted", 2, 120, 40, 8, 2, 2, 9, true},
                      BlobCase{"MoreThanAnEighthPaintedChangesNothing", 2, 120, 40, 8, 2, 2, 10, false},
                      BlobCase{"NarrowTallImageIsLeftAlone", 2, 90, 200, 10, 20, 20, 1, false},
                      BlobCase{"EmptyQuarterRegionChangesNothing", 1, 80, 60, 10, 40, 30, 1, false},
                      BlobCase{"SquareAtRightEdgeDoesNotWrap", 2, 120, 120, 10, 110, 10, 1, true}),
    [](const ::testing::TestParamInfo<BlobCase>& info) { return info.param.name; });

TEST_F(FixedThresholdBw, StrokeWidthLimitIsThreeHundred) {
  // One-row mid-gray strokes on a 1200 x 200 canvas: 299 wide is painted, 300 and wider are kept.
  ASSERT_GE(zarn::funcTableSetParam(171, 2), 0);
  for (const int length : {299, 300, 1100}) {
    const int w = 1200, h = 200;
    auto rec = MakeRecord(w, h, 8, 200, std::vector<uint8_t>(static_cast<size_t>(w) * h, 230));
    for (int x = 50; x < 50 + length; ++x) rec[8 + 20 * w + x] = 90;
    ASSERT_EQ(funcDarkenGrayBlobs(rec), 0);
    EXPECT_EQ(rec[8 + 20 * w + 60], length < 300 ? 0 : 90) << length;
  }
}

TEST_F(FixedThresholdBw, WholeMidGrayImageIsLeftUnchanged) {
  // Every pixel starts a trace; each is refused at the width limit and nothing is painted.
  ASSERT_GE(zarn::funcTableSetParam(171, 2), 0);
  const int w = 1024, h = 300;
  auto rec = MakeRecord(w, h, 8, 200, std::vector<uint8_t>(static_cast<size_t>(w) * h, 100));
  const auto before = rec;
  ASSERT_EQ(funcDarkenGrayBlobs(rec), 0);
  EXPECT_EQ(rec, before);
}

}  // namespace
}  // namespace zc::imaging
