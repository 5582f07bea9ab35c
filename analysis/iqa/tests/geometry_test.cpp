// Outline tests: size, skew and its angle table, corners, auto-crop and the double top edge.
#include "iqa_fixture.h"

namespace analysis::iqa::testing {
namespace {

class GeometryTest : public IqaTest {};

TEST(SkewAngleTable, AnchorsHoldAndEntriesRise) {
  EXPECT_EQ(SkewAngle(0), 0);
  EXPECT_EQ(SkewAngle(1), 3);
  EXPECT_EQ(SkewAngle(2), 5);
  EXPECT_EQ(SkewAngle(16), 36);
  EXPECT_EQ(SkewAngle(128), 266);
  EXPECT_EQ(SkewAngle(255), 449);
  for (int i = 1; i < 256; ++i) EXPECT_GE(SkewAngle(i), SkewAngle(i - 1));
  for (int i = 0; i < 256; ++i) EXPECT_NE(SkewAngle(i), 31) << i;  // 3.0 degrees passes, the next step fails
}

TEST_F(GeometryTest, DocumentSizeMatchesTheFirstEntryWithinTolerance) {
  const int32_t w[3] = {60, 85, 85}, h[3] = {27, 37, 36};
  ASSERT_EQ(SetStandardCheckSizesAll(3, w, h, 1), 0);
  Blank(1700, 736);  // 8.5 x 3.7 in
  EXPECT_EQ(VerifyDocumentSize(), 1);
  Blank(1200, 600);  // 6.0 x 3.0 in
  EXPECT_EQ(VerifyDocumentSize(), -1);
  ASSERT_EQ(SetStandardCheckSizes(0, 0, 0, 0, 0), 0);
  Blank(1700, 736);
  EXPECT_EQ(VerifyDocumentSize(), -1);
}

TEST_F(GeometryTest, DocumentSizeTreatsALowDpiAs200) {
  const int32_t w[1] = {85}, h[1] = {37};
  ASSERT_EQ(SetStandardCheckSizesAll(1, w, h, 0), 0);
  Blank(1700, 740);
  Image().xDpi = Image().yDpi = 0;
  EXPECT_EQ(VerifyDocumentSize(), 0);
  EXPECT_EQ(Image().xDpi, 200);
}

// Black ground below the document: `left` rows deep on the left half, `right` rows on the right half.
void SkewedBottom(int width, int height, int left, int right) {
  Blank(width, height);
  Fill(0, height - left, Image().width / 2, height);
  Fill(Image().width / 2, height - right, Image().width, height);
}

struct SkewCase {
  const char* name;
  int width;
  int left, right;
  int skew, angleIndex;
};
class SkewTest : public IqaTest, public ::testing::WithParamInterface<SkewCase> {};
TEST_P(SkewTest, BottomEdgeProbes) {
  const SkewCase& c = GetParam();
  if (c.width < 72) {
    Blank(c.width, 400);
    Fill(0, 300, c.width, 400);
  } else {
    SkewedBottom(c.width, 736, c.left, c.right);
  }
  int index = -7;
  EXPECT_EQ(VerifySkew(&index), c.skew);
  EXPECT_EQ(index, c.angleIndex);
}
// Probes sit at columns 64, the middle and width - 64: bottom edges at left/right rows above the end.
INSTANTIATE_TEST_SUITE_P(
    Cases, SkewTest,
    ::testing::Values(SkewCase{"withinFifteenRows", 1704, 10, 14, 0, 0},
                      // 30 rows apart at the probes of a 1704-px image: index 30 * 256 / 1576 = 4.
                      SkewCase{"thirtyRowsApart", 1704, 20, 50, 30, 4},
                      SkewCase{"leftHighEnough", 1704, 70, 20, 70, 8},
                      SkewCase{"levelButRaised", 1704, 40, 40, 0, 0},
                      SkewCase{"narrowerThan72", 64, 0, 0, 0, 0}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(GeometryTest, CornerDepthIsTheDiagonalBlackRun) {
  Blank(400, 300);
  for (int k = 0; k < 48; ++k) IQASetPixel(k, k);
  int tl = -1, tr = -1, bl = -1, br = -1;
  EXPECT_EQ(VerifyCorners(&tl, &tr, &bl, &br), 48);
  EXPECT_EQ(tl, 48);
  EXPECT_EQ(tr, 0);
  IQAClearPixel(8, 8);
  EXPECT_EQ(VerifyCorners(&tl, &tr, &bl, &br), 0);
  // A bottom-right triangle with legs of 100: pixels (k, k) from the corner are black while 2k < 100 + ...
  Blank(400, 300);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      if ((399 - x) + (299 - y) < 100) IQASetPixel(x, y);
    }
  }
  VerifyCorners(&tl, &tr, &bl, &br);
  // Pixel (w - k - 8, h - k - 8) lies 2k + 14 from the corner: black while 2k + 14 < 100.
  EXPECT_EQ(br, 43);
}

TEST_F(GeometryTest, AutoCropTakesWholeBytesAtTheSides) {
  Document(800, 400, 0);
  Fill(0, 0, 12, 400);  // left border 12
  Fill(0, 0, 800, 5);   // top border 5: below 9, kept
  IQASetPixel(500, 200);
  EXPECT_EQ(IQAAutoCrop(), 8);
  EXPECT_EQ(Image().width, 792);
  EXPECT_EQ(Image().height, 400);
  EXPECT_EQ(IQAGetPixel(492, 200), 1);
  EXPECT_EQ(IQAGetPixel(0, 100), 1);  // 4 border columns remain
  EXPECT_EQ(IQAGetPixel(4, 100), 0);
}

// Ground of 12 px at the left and top, 24 px at the right and bottom. Right and bottom are measured from
// 8 px inside the image (17 each); sample row and column 16 lie past the narrow borders.
void Framed() {
  Blank(800, 400);
  Fill(0, 0, 12, 400);
  Fill(0, 0, 800, 12);
  Fill(776, 0, 800, 400);
  Fill(0, 376, 800, 400);
}

TEST_F(GeometryTest, AutoCropMovesRowsOfAllFourBorders) {
  Framed();
  IQASetPixel(400, 200);
  EXPECT_EQ(IQAAutoCrop(), 8 + 12 + 16 + 17);
  EXPECT_EQ(Image().width, 800 - 24);
  EXPECT_EQ(Image().height, 400 - 29);
  EXPECT_EQ(IQAGetPixel(400 - 8, 200 - 12), 1);
  EXPECT_EQ(IQAGetPixel(3, 180), 1);
  EXPECT_EQ(IQAGetPixel(4, 180), 0);
  EXPECT_EQ(IQAGetPixel(4, Image().height), 0);
}

TEST_F(GeometryTest, AutoCropRowBlackFor100PixelsDisablesThatSide) {
  Framed();
  Fill(0, 16, 120, 17);  // the first sample row is black 120 from the left
  EXPECT_EQ(IQAAutoCrop(), 12 + 16 + 17);
  EXPECT_EQ(Image().width, 800 - 16);
}

TEST_F(GeometryTest, DoubleTopEdge) {
  Document(1704, 736, 20);
  EXPECT_EQ(IQADoubleTopEdge(), 0);
  Fill(64, 0, 66, 60);                                                      // probe 0 at column 64
  Fill(64 + 1 * (1704 - 128) / 15, 0, 64 + 1 * (1704 - 128) / 15 + 1, 60);  // probe 1
  EXPECT_EQ(IQADoubleTopEdge(), 2);
  Blank(120, 736);
  EXPECT_EQ(IQADoubleTopEdge(), 1);
}

TEST_F(GeometryTest, DoubleTopEdgeLogsItsProbesWhenAsked) {
  services.params[117] = 4;
  Document(1704, 736, 20);
  Fill(0, 0, 600, 80);
  EXPECT_EQ(IQADoubleTopEdge(), 2);
  ASSERT_EQ(services.localLog.size(), 1u);
  EXPECT_EQ(services.localLog[0].rfind("IQADoubleTopEdge 80,80,80,80,80,", 0), 0u) << services.localLog[0];
}

}  // namespace
}  // namespace analysis::iqa::testing
