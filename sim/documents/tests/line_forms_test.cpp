// Documents whose printed and magnetic code lines differ: each keeps the truth of both forms, and the
// difference shows in the form it belongs to and only there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/documents/document.h"

namespace sim::documents {
namespace {

struct FormsCase {
  const char* name;
  FormsCondition condition;
  bool magneticDiffers;
  bool printDiffers;
  bool printedTextDiffers;
};

class JointForms : public ::testing::TestWithParam<FormsCase> {};

// Pixels of the code-line band (the bottom half inch) that differ between two fronts.
long BandDifference(const SideImage& a, const SideImage& b) {
  long n = 0;
  for (int y = a.height - a.dpi / 2; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const Rgb p = a.At(x, y), q = b.At(x, y);
      n += p.r != q.r || p.g != q.g || p.b != q.b;
    }
  return n;
}

TEST_P(JointForms, KeepBothTruthsAndDifferWhereTheConditionSays) {
  const FormsCase& c = GetParam();
  for (uint32_t seed : {5u, 6u, 7u}) {
    ChequeOptions plain;
    ChequeOptions joint;
    joint.forms = MakeLineForms(seed, MakeCodeLine(seed, MicrFont::kE13b), c.condition);
    const Document a = MakeCheque(seed, plain);
    const Document d = MakeCheque(seed, joint);
    EXPECT_EQ(d.codeLine, a.codeLine);
    EXPECT_EQ(d.PrintedLine() != d.codeLine, c.printedTextDiffers);
    EXPECT_EQ(d.PrintedLine().size(), d.codeLine.size());
    EXPECT_EQ(d.MagneticSamples(63200) != a.MagneticSamples(63200), c.magneticDiffers) << seed;
    EXPECT_EQ(BandDifference(a.front, d.front) > 0, c.printDiffers) << seed;
    // The same seed and condition make the same document again.
    EXPECT_EQ(MakeCheque(seed, joint).front.rgb, d.front.rgb);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, JointForms,
    ::testing::Values(FormsCase{"Clean", FormsCondition::kClean, false, false, false},
                      FormsCase{"WeakMagnetic", FormsCondition::kWeakMagnetic, true, false, false},
                      FormsCase{"DamagedPrint", FormsCondition::kDamagedPrint, false, true, false},
                      FormsCase{"Both", FormsCondition::kBoth, true, true, false},
                      FormsCase{"Disagreeing", FormsCondition::kDisagreeing, false, true, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(JointForms, DisagreeingPrintChangesOneDigitToAnotherDigit) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const std::string line = MakeCodeLine(seed, MicrFont::kE13b);
    const LineForms f = MakeLineForms(seed, line, FormsCondition::kDisagreeing);
    int differ = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      if (f.printed[i] == line[i]) continue;
      ++differ;
      EXPECT_TRUE(line[i] >= '0' && line[i] <= '9' && f.printed[i] >= '0' && f.printed[i] <= '9');
    }
    EXPECT_EQ(differ, 1) << seed;
  }
}

TEST(JointForms, WeakInkStaysOnCharactersAndMarksMatchTheLine) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const std::string line = MakeCodeLine(seed, MicrFont::kE13b);
    const LineForms f = MakeLineForms(seed, line, FormsCondition::kBoth);
    ASSERT_EQ(f.magneticInk.size(), line.size());
    ASSERT_EQ(f.printMarks.size(), line.size());
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == ' ') EXPECT_EQ(f.magneticInk[i], 1.0);
      if (line[i] == ' ') EXPECT_EQ(f.printMarks[i], PrintMark::kClean);
      // Weak ink and damaged print fall on different characters.
      EXPECT_FALSE(f.magneticInk[i] < 1.0 && f.printMarks[i] != PrintMark::kClean);
    }
  }
}

}  // namespace
}  // namespace sim::documents
