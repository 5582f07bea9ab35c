// TestIQADocument: slots, failure flags, test order and the result image.
#include "iqa_fixture.h"

namespace analysis::iqa::testing {
namespace {

class DispatcherTest : public IqaTest {
 protected:
  int Run(uint32_t mask, int32_t (&r)[kIqaTableSlots], int update = 0, const char* name = nullptr,
          std::span<uint8_t> record = {}, int minMicr = 0, int speckleLimit = 1000) {
    std::fill(std::begin(r), std::end(r), 77);
    return TestIQADocument(update, name, record, mask, speckleLimit, minMicr, 75, "1234567890", "",
                           "9999999999", 100, 536, 21, 8, r);
  }
};

TEST_F(DispatcherTest, MaskZeroFillsTheAlwaysSlotsAndFreesTheImage) {
  Blank(1704, 736);
  Fill(0, 0, 1704, 368);
  int32_t r[kIqaTableSlots];
  EXPECT_EQ(Run(0, r), 0);
  EXPECT_EQ(r[kSlotBlackPercent], 50);
  EXPECT_EQ(r[kSlotImageSize], 85 * 256 + 36);
  EXPECT_EQ(r[kSlotDpi], 200);
  EXPECT_EQ(r[kSlotDoubleTopEdge], -1);
  EXPECT_EQ(r[kSlotSkewAngle], 0);
  EXPECT_EQ(r[kSlotCrop], 0);
  EXPECT_EQ(r[kSlotContrast], 77);  // never written here
  EXPECT_EQ(r[kSlotEndorsement], 77);
  EXPECT_FALSE(Image().held());
}

TEST_F(DispatcherTest, ConfirmedSkewFailsAndBlanksTheFields) {
  Blank(1704, 736);
  Fill(0, 736 - 20, 852, 736);
  Fill(852, 736 - 50, 1704, 736);
  int32_t r[kIqaTableSlots];
  EXPECT_EQ(Run(kIqaSkew | kIqaPayeeField, r), kIqaSkew);
  EXPECT_EQ(r[kSlotSkew], 30);
  EXPECT_EQ(r[kSlotSkewAngle], SkewAngle(4));
  for (int s = kSlotAmount; s <= kSlotMemo; ++s) EXPECT_EQ(r[s], -1) << s;
}

TEST_F(DispatcherTest, OnlyTheLargestSelectedSpeckleSizeRuns) {
  int32_t r[kIqaTableSlots];
  Blank(1704, 736);
  Fill(300, 300, 304, 304);  // 4 x 4
  EXPECT_EQ(Run(kIqaSpeckle2 | kIqaSpeckle4, r), 0);
  EXPECT_EQ(r[kSlotSpeckles], 16);
  Blank(1704, 736);
  Fill(300, 300, 304, 304);
  EXPECT_EQ(Run(kIqaSpeckle2, r, 0, nullptr, {}, 0, 0), kIqaSpeckle1);  // limit 0: any count fails
  EXPECT_EQ(r[kSlotSpeckles], 0);
}

TEST_F(DispatcherTest, UpdateModeTwoWritesTheCroppedRecord) {
  int32_t r[kIqaTableSlots];
  Document(800, 400, 12);  // left 12 crops 8, top 12; right and bottom measure 5 and stay
  std::vector<uint8_t> out(8 + 100 * 400, 0xEE);
  EXPECT_EQ(Run(kIqaAutoCrop, r, 2, nullptr, out), kIqaAutoCrop);
  EXPECT_EQ(r[kSlotCrop], 20);
  EXPECT_EQ(out[0] | out[1] << 8, 800 - 8);
  EXPECT_EQ(out[2] | out[3] << 8, 400 - 12);
  EXPECT_EQ(out[4], 1);
  EXPECT_FALSE(Image().held());
}

TEST_F(DispatcherTest, ModeOneWithAnEmptyNameWritesNothing) {
  int32_t r[kIqaTableSlots];
  Blank(800, 400);
  Image().compressedSize = 1234;
  EXPECT_EQ(Run(kIqaCompressedSize, r, 1, ""), 0);
  EXPECT_EQ(r[kSlotCompressedSize], 1234);
}

TEST_F(DispatcherTest, UnwritableResultFileReportsNoSize) {
  int32_t r[kIqaTableSlots];
  Blank(800, 400);
  Image().compressedSize = 1234;
  EXPECT_EQ(Run(kIqaCompressedSize, r, 1, "/nonexistent/dir/out.tif"), 0);
  EXPECT_EQ(r[kSlotCompressedSize], -1);
  EXPECT_FALSE(Image().held());
}

TEST_F(DispatcherTest, MicrFailureAloneSkipsTheBorderCleaning) {
  int32_t r[kIqaTableSlots];
  std::vector<uint8_t> out(8 + 100 * 400);
  Blank(800, 400);
  Fill(300, 10, 500, 20);  // inside the top 40 rows that clean-up clears
  EXPECT_EQ(Run(kIqaMicrQuality | kIqaCleanBorders0, r, 2, nullptr, out, 10), kIqaMicrQuality);
  EXPECT_EQ(out[8 + 100 * 15 + 40], 0xFF);
  Blank(800, 400);
  Fill(300, 10, 500, 20);
  EXPECT_EQ(Run(kIqaMicrQuality | kIqaCleanBorders0, r, 2, nullptr, out, 0), 0);
  EXPECT_EQ(out[8 + 100 * 15 + 40], 0);
}

TEST_F(DispatcherTest, CornersFailAtTheLimit) {
  int32_t r[kIqaTableSlots];
  Blank(800, 400);
  for (int k = 0; k < 75; ++k) IQASetPixel(k, k);
  EXPECT_EQ(Run(kIqaCorners, r), kIqaCorners);
  EXPECT_EQ(r[kSlotCornerTL], 75);
  Blank(800, 400);
  for (int k = 0; k < 74; ++k) IQASetPixel(k, k);
  EXPECT_EQ(Run(kIqaCorners, r), 0);
}

}  // namespace
}  // namespace analysis::iqa::testing
