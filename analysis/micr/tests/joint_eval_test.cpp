// Joint documents per condition through the three readers and both merges, against golden counts: any
// change in a reader or a merge shows as a changed count. A short fixed-seed run; the benchmark runs
// 1000 documents per condition.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "analysis/micr/tests/joint_eval.h"
#include "analysis/micr/verify_state.h"

namespace analysis::micr::testing {
namespace {

using sim::documents::FormsCondition;

struct Golden {
  const char* name;
  FormsCondition condition;
  // Lines read by decoder A, the device library, the optical reader, the KR line and the combination.
  long readA, readLibrary, readOptical, readKr, readCombine;
  // Characters substituted in the KR line and in the combination.
  long substKr, substCombine;
  // Wrong final lines without a reject at status 2 or 3.
  long undetectedKr, undetectedCombine;
};

// Failure messages name the condition, not the case's bytes.
void PrintTo(const Golden& g, std::ostream* os) { *os << g.name; }

class JointDocuments : public ::testing::TestWithParam<Golden> {};

TEST_P(JointDocuments, MatchGoldenCounts) {
  const Golden& g = GetParam();
  ResetMicrVerifyStateForTesting();
  const JointTally t = MeasureJoint(g.condition, 40, 9100u);
  std::printf("%s", FormatJoint(g.name, t).c_str());
  EXPECT_EQ(t.decoderA.linesRead, g.readA);
  EXPECT_EQ(t.library.linesRead, g.readLibrary);
  EXPECT_EQ(t.optical.linesRead, g.readOptical);
  EXPECT_EQ(t.kr.tally.linesRead, g.readKr);
  EXPECT_EQ(t.combine.tally.linesRead, g.readCombine);
  EXPECT_EQ(t.kr.tally.substitutions, g.substKr);
  EXPECT_EQ(t.combine.tally.substitutions, g.substCombine);
  EXPECT_EQ(t.kr.Undetected(), g.undetectedKr);
  EXPECT_EQ(t.combine.Undetected(), g.undetectedCombine);
  // A line verified the same by both readings is never wrong.
  EXPECT_EQ(t.kr.StatusThreeWrong(), 0);
  EXPECT_EQ(t.combine.StatusThreeWrong(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, JointDocuments,
    ::testing::Values(Golden{"Clean", FormsCondition::kClean, 40, 40, 40, 40, 40, 0, 0, 0, 0},
                      Golden{"WeakMagnetic", FormsCondition::kWeakMagnetic, 17, 22, 40, 24, 35, 2, 2, 14, 3},
                      Golden{"DamagedPrint", FormsCondition::kDamagedPrint, 40, 40, 1, 40, 40, 0, 0, 0, 0},
                      Golden{"Both", FormsCondition::kBoth, 17, 22, 5, 23, 30, 2, 3, 15, 8},
                      Golden{"Disagreeing", FormsCondition::kDisagreeing, 40, 40, 0, 36, 40, 4, 0, 4, 0}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace analysis::micr::testing
