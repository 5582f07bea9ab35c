// Printed lines: solid rows, the short-line confirmation, the amount sign, field lines and their writing,
// and the line analysis.
#include "iqa_fixture.h"

namespace analysis::iqa::testing {
namespace {

class LinesTest : public IqaTest {
 protected:
  void SetUp() override {
    IqaTest::SetUp();
    LineTable().count = 0;
  }
};

// An amount sign 23 x 41 px with its top-left corner at (x, y): an S of bars 3 px thick and a stroke
// through the middle.
void DrawDollar(int x, int y) {
  Fill(x + 11, y, x + 13, y + 41);       // vertical stroke
  Fill(x, y + 4, x + 23, y + 7);         // top bar
  Fill(x, y + 4, x + 2, y + 22);         // upper left
  Fill(x, y + 19, x + 23, y + 22);       // middle bar
  Fill(x + 21, y + 19, x + 23, y + 37);  // lower right
  Fill(x, y + 34, x + 23, y + 37);       // bottom bar
}

// Writing above a line: 2-px strokes every 12 px over `rows` rows ending 4 rows above `lineRow`.
void Scribble(int x0, int x1, int lineRow, int rows = 25) {
  for (int x = x0; x + 2 <= x1; x += 12) Fill(x, lineRow - 4 - rows, x + 2, lineRow - 4);
}

void HorizontalLine(int x1, int x2, int y) {
  Fill(x1, y, x2, y + 2);
}

TEST_F(LinesTest, SolidLineIsTheFirstAllBlackRowAndNeedsABytePastTheEnds) {
  Blank(800, 400);
  EXPECT_EQ(IQAFindSolidLine(), 0);
  Fill(16, 150, 784, 151);  // bytes 2 to row bytes - 3 black
  Fill(0, 200, 800, 201);
  EXPECT_EQ(IQAFindSolidLine(), 150);
  Blank(32, 400);  // row bytes 4: no byte to examine
  EXPECT_EQ(IQAFindSolidLine(), 0);
}

TEST_F(LinesTest, ThreeLevelLinesCancelTheSkewAndTheTableIsReused) {
  Blank(1704, 736);
  EXPECT_EQ(IQAFindShortLines(30), 30);
  Blank(1704, 736);
  for (int y : {200, 300, 400}) HorizontalLine(150, 1400, y);
  LineTable().count = 0;
  EXPECT_EQ(IQAFindShortLines(30), 0);
  EXPECT_EQ(LineTable().count, 3);
  Blank(1704, 736);  // the table built for this document stays in use
  EXPECT_EQ(IQAFindShortLines(30), 30);
}

TEST_F(LinesTest, AnAmountSignIsAcceptedAndMalformedOnesRejectedByStep) {
  Blank(400, 300);
  DrawDollar(100, 100);
  EXPECT_EQ(IQAIsDollarSign(100, 100, 122, 140), 0);
  Blank(400, 300);
  Fill(100, 100, 130, 130);
  EXPECT_EQ(IQAIsDollarSign(100, 100, 130, 130), 1);  // 30 x 30: width not below height
  Blank(400, 300);
  DrawDollar(100, 100);
  Fill(100, 100, 123, 102);  // a bar across the top
  EXPECT_EQ(IQAIsDollarSign(100, 100, 122, 140), 2);
  Blank(400, 300);
  DrawDollar(100, 100);
  Fill(100, 139, 123, 141);
  EXPECT_EQ(IQAIsDollarSign(100, 100, 122, 140), 12);
  Blank(400, 300);
  DrawDollar(100, 100);
  Fill(100, 119, 123, 122, false);  // no middle stroke
  Fill(111, 119, 113, 122);
  EXPECT_EQ(IQAIsDollarSign(100, 100, 122, 140), 3);
  Blank(400, 300);
  DrawDollar(100, 100);
  Fill(120, 108, 121, 119);  // the right side closed
  EXPECT_EQ(IQAIsDollarSign(100, 100, 122, 140), 7);
}

TEST_F(LinesTest, FieldBandCountsDataRows) {
  Blank(1704, 736);
  HorizontalLine(200, 1000, 400);
  LineTable().lines[0] = {200, 400, 1000, 400};
  LineTable().count = 1;
  // Rows 368, 373, ... 398 are scanned; one row of four short strokes is not enough.
  Fill(300, 373, 302, 374);
  Fill(320, 373, 322, 374);
  Fill(340, 373, 342, 374);
  Fill(360, 373, 362, 374);
  EXPECT_EQ(IQATestField(0, "LAR", 8, 0, 0, 0), 0);
  EXPECT_EQ(IQATestField(0, "LAR", 4, 0, 0, 0), 0);
  for (int x = 300; x < 380; x += 20) Fill(x, 378, x + 2, 379);
  EXPECT_EQ(IQATestField(0, "LAR", 4, 0, 0, 0), 2);
  Fill(300, 383, 400, 384);
  Fill(300, 388, 400, 389);
  EXPECT_EQ(IQATestField(0, "LAR", 4, 0, 0, 0), 1);  // two blob rows
  EXPECT_EQ(IQATestField(-1, "LAR", 4, 0, 0, 0), -1);
}

// A personal cheque's printed lines: date, payee, legal amount, memo and signature, with a '$'.
void PersonalCheque(bool written, int larBelowPayee = 100) {
  Blank(1704, 736);
  HorizontalLine(1300, 1600, 120);                 // date
  HorizontalLine(150, 1200, 260);                  // payee
  HorizontalLine(150, 1400, 260 + larBelowPayee);  // legal amount
  HorizontalLine(150, 700, 620);                   // memo
  HorizontalLine(1000, 1600, 620);                 // signature
  DrawDollar(1300, 200);
  if (!written) return;
  Scribble(1360, 1600, 120);
  Scribble(300, 1200, 260);
  Scribble(300, 1200, 260 + larBelowPayee);
  Scribble(300, 700, 620);
  Scribble(1000, 1500, 620);
  Scribble(1340, 1500, 260);
}

int32_t FieldSlots(int32_t (&r)[kIqaTableSlots]) {
  std::fill(std::begin(r), std::end(r), 99);
  IQAFieldLines(kIqaFieldBits, r);
  return r[kSlotAmount];
}

TEST_F(LinesTest, FieldsReadTwoWhenWrittenAndZeroWhenBlank) {
  int32_t r[kIqaTableSlots];
  PersonalCheque(true);
  FieldSlots(r);
  EXPECT_EQ(IQADollarBox().left, 1300);
  for (int s = kSlotAmount; s <= kSlotMemo; ++s) EXPECT_EQ(r[s], 2) << "slot " << s;
  LineTable().count = 0;
  PersonalCheque(false);
  FieldSlots(r);
  for (int s = kSlotAmount; s <= kSlotMemo; ++s) EXPECT_EQ(r[s], 0) << "slot " << s;
}

TEST_F(LinesTest, LongLinesFortyRowsApartAreNeitherPayeeNorLegalAmount) {
  int32_t r[kIqaTableSlots];
  PersonalCheque(false, 40);
  FieldSlots(r);
  EXPECT_EQ(r[kSlotLar], -1);
  EXPECT_EQ(r[kSlotPayee], -1);
  EXPECT_EQ(r[kSlotDate], 0);
}

TEST_F(LinesTest, TwoSignatureLinesAreAmbiguous) {
  int32_t r[kIqaTableSlots];
  PersonalCheque(false);
  HorizontalLine(1100, 1600, 660);
  FieldSlots(r);
  EXPECT_EQ(r[kSlotSign], -1);
  EXPECT_EQ(r[kSlotMemo], 0);
}

TEST_F(LinesTest, NoPrintedLinesLeaveEveryFieldUnfound) {
  int32_t r[kIqaTableSlots];
  Blank(1704, 736);
  FieldSlots(r);
  for (int s = kSlotAmount; s <= kSlotMemo; ++s) EXPECT_EQ(r[s], -1) << "slot " << s;
}

struct LineCase {
  const char* name;
  void (*draw)();
  int flags;
};
class LineAnalysisTest : public LinesTest, public ::testing::WithParamInterface<LineCase> {};
TEST_P(LineAnalysisTest, Flags) {
  Blank(1704, 736);
  GetParam().draw();
  EXPECT_EQ(IQALineAnalysis() & GetParam().flags, GetParam().flags);
  if (GetParam().flags == 0) {
    EXPECT_EQ(IQALineAnalysis(), 0);
  }
}
INSTANTIATE_TEST_SUITE_P(Cases, LineAnalysisTest,
                         ::testing::Values(LineCase{"clean", [] { HorizontalLine(150, 1200, 300); }, 0},
                                           LineCase{"manyLongLines",
                                                    [] {
                                                      for (int y = 100; y < 700; y += 90)
                                                        HorizontalLine(120, 1600, y);
                                                    },
                                                    0x1},
                                           LineCase{"longVerticalLine", [] { Fill(800, 20, 802, 720); },
                                                    0x40}),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace analysis::iqa::testing
