// Speckles, black share and dense areas, the MICR grade and the endorsement search.
#include "iqa_fixture.h"

namespace analysis::iqa::testing {
namespace {

class MarksTest : public IqaTest {};

struct SpeckleCase {
  const char* name;
  std::vector<std::pair<int, int>> black;
  int size;
  int margin;
  int removed;
};
class SpeckleTest : public IqaTest, public ::testing::WithParamInterface<SpeckleCase> {};
TEST_P(SpeckleTest, RemovedArea) {
  const SpeckleCase& c = GetParam();
  Blank(400, 300);
  for (auto [x, y] : c.black) IQASetPixel(x, y);
  EXPECT_EQ(CleanDocument(c.size, c.size, c.margin), c.removed);
  if (c.removed > 0) {
    EXPECT_EQ(IQABlackPercent(), 0);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Cases, SpeckleTest,
    ::testing::Values(
        SpeckleCase{"dot2x2Removed", {{100, 100}, {101, 100}, {100, 101}, {101, 101}}, 2, 0, 4},
        SpeckleCase{
            "blot3x2Kept", {{100, 100}, {101, 100}, {102, 100}, {100, 101}, {101, 101}, {102, 101}}, 2, 0, 0},
        SpeckleCase{"singlePixel", {{100, 100}}, 1, 0, 1},
        SpeckleCase{"lInside2x2ClearsTheBox", {{100, 100}, {100, 101}, {101, 101}}, 2, 0, 4},
        SpeckleCase{"marginKeepsColumn30", {{30, 100}}, 1, 1, 0},
        SpeckleCase{"marginTakesColumn60", {{60, 100}}, 1, 1, 1},
        SpeckleCase{"sizeOutOfRange", {{100, 100}}, 11, 0, 0}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(MarksTest, SpeckleAreaGrowsWithDensity) {
  int last = -1;
  for (int every : {64, 32, 16, 8}) {
    Blank(1704, 736);
    int dots = 0;
    for (int y = 10; y < 726; y += every) {
      for (int x = 10; x < 1694; x += every) {
        Fill(x, y, x + 2, y + 2);
        ++dots;
      }
    }
    const int area = CleanDocument(2, 2, 0);
    EXPECT_EQ(area, 4 * dots);
    EXPECT_GT(area, last);
    last = area;
  }
}

TEST_F(MarksTest, EmptyImageHasNothing) {
  Blank(1704, 736);
  EXPECT_EQ(IQABlackPercent(), 0);
  EXPECT_EQ(IQACountDenseAreas(100, 100, 1704, 736), 0);
  EXPECT_EQ(VerifyEndorsement(100, 536, 21, 8), 0);
  FreeImage();
  EXPECT_EQ(IQABlackPercent(), -1);
}

TEST_F(MarksTest, DenseAreasCountBlotsOfHalfAnInch) {
  Blank(1704, 736);
  Fill(300, 200, 420, 320);  // 120 x 120
  EXPECT_EQ(IQACountDenseAreas(100, 100, 1704, 736), 1);
  Fill(800, 200, 880, 280);  // 80 x 80: too small
  EXPECT_EQ(IQACountDenseAreas(100, 100, 1704, 736), 1);
  Fill(1100, 400, 1250, 550);
  EXPECT_EQ(IQACountDenseAreas(100, 100, 1704, 736), 2);
  EXPECT_GE(IQACountDenseAreas(0, 0, 1704, 736), 1);  // minimum 0 becomes 4: no endless scan
  EXPECT_GE(IQACountDenseAreas(1, 1, 1704, 736), 1);  // a step of at least 1
}

TEST_F(MarksTest, DarkBandsOfThreeInchesByAQuarterAreCounted) {
  Blank(1704, 736);
  Fill(300, 300, 940, 360);  // 640 x 60
  EXPECT_EQ(IQACountDenseAreas(600, 50, 1704, 200), 1);
  Blank(1704, 736);
  Fill(300, 300, 800, 360);  // 500 wide: not a band
  EXPECT_EQ(IQACountDenseAreas(600, 50, 1704, 200), 0);
}

uint32_t gFlags = 0;
uint32_t Flags() {
  return gFlags;
}

struct MicrCase {
  const char* name;
  uint32_t flags;
  const char* line;
  const char* confidence;
  int grade;
};
class MicrGradeTest : public IqaTest, public ::testing::WithParamInterface<MicrCase> {};
TEST_P(MicrGradeTest, Grade) {
  gFlags = GetParam().flags;
  SetMicrVerifyFlagsSource(Flags);
  EXPECT_EQ(VerifyMICRQuality(GetParam().line, "", GetParam().confidence), GetParam().grade);
  SetMicrVerifyFlagsSource(nullptr);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, MicrGradeTest,
    ::testing::Values(MicrCase{"sevenCharacters", 0, "1234567", "9999999", 1},
                      MicrCase{"oneLowConfidence", 0, "1234567890", "9999999990", 8},
                      MicrCase{"allLowConfidence", 0, "1234567890", "1111111111", 4},
                      MicrCase{"notVerifiedTwoRejects", 0x1, "12@456@890", "9999999999", 2},
                      MicrCase{"notVerifiedThreeRejects", 0x1, "12@4@6@890", "9999999999", 1},
                      MicrCase{"rejectLeft", 0, "12@4567890", "9999999999", 1},
                      MicrCase{"reviewed", 0x10, "1234567890", "9999999999", 3},
                      MicrCase{"sameReadings", 0x100, "1234567890", "9999999999", 10},
                      MicrCase{"sameReadingsLowConfidence", 0x100, "1234567890", "0009999999", 9},
                      MicrCase{"repairs", 0x2 | 0x20, "1234567890", "9999999999", 5}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(MarksTest, MicrGradeOfMissingTextsIsOne) {
  EXPECT_EQ(VerifyMICRQuality(nullptr, "", ""), 1);
  EXPECT_EQ(VerifyMICRQuality("1234567890", nullptr, ""), 1);
}

// Letters of 21 rows and 12 columns: a box outline, a mark of character size.
void Letters(int count, int x0, int y0) {
  for (int i = 0; i < count; ++i) {
    const int x = x0 + 20 * i;
    Fill(x, y0, x + 12, y0 + 2);
    Fill(x, y0 + 19, x + 12, y0 + 21);
    Fill(x, y0, x + 2, y0 + 21);
  }
}

TEST_F(MarksTest, EndorsementCountsCharacterMarks) {
  Blank(1704, 736);
  Letters(8, 400, 300);
  EXPECT_EQ(VerifyEndorsement(100, 536, 21, 8), 8);
  Blank(1704, 736);
  Letters(5, 400, 300);
  EXPECT_EQ(VerifyEndorsement(100, 536, 21, 8), 0);
  EXPECT_EQ(VerifyEndorsement(100, 536, 21, 0), 0);
}

TEST_F(MarksTest, EndorsementBandEstimatesCharacters) {
  Blank(1704, 736);
  // A solid stamp 20 rows high: no single marks; its sampled extent 402..798 holds 396 / 25 = 15 characters.
  Fill(400, 300, 800, 320);
  EXPECT_EQ(VerifyEndorsement(100, 536, 21, 8), 15);
}

}  // namespace
}  // namespace analysis::iqa::testing
