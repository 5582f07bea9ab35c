// Fixed-seed read rates of both optical readers against golden counts, per resolution and per defect:
// any change in what a reader reads shows as a changed count. The full corpus (1000 lines a condition)
// runs in the benchmark. Clean lines read exactly at every resolution. At 200 dpi a one-pixel defect is
// close to half a stroke: strokes thinned by a pixel keep one-pixel verticals, which the despeckling eats
// from the top, and lose the '0's thin bars, so many characters go; edge jitter breaks the thin bars of
// '0' and '3' into rejects. The same defects on a 300-dpi scan, reduced to 200 dpi by the loader, read
// cleanly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/micr/verify_state.h"
#include "analysis/ocr/codeline_ocr.h"
#include "analysis/ocr/tests/read_rate.h"

namespace analysis::ocr::test {
namespace {

constexpr int kLines = 40;

struct Golden {
  OpticalCondition condition;
  long correct, rejects, substitutions;
  long substitutionsAtFour;  // substitutions the reader was sure of
};
void PrintTo(const Golden& g, std::ostream* os) { *os << g.condition.name; }

zc::testkit::LineDefects Defect(void (*set)(zc::testkit::LineDefects&)) {
  zc::testkit::LineDefects d;
  set(d);
  return d;
}

class E13bReadRate : public ::testing::TestWithParam<Golden> {};

TEST_P(E13bReadRate, GoldenCounts) {
  funcSetOCRBand(0, 0);
  const Golden& g = GetParam();
  const OpticalRates r = MeasureE13b(g.condition, kLines, 41);
  std::printf("%s", FormatRates(g.condition.name, r).c_str());
  EXPECT_EQ(r.tally.correct, g.correct);
  EXPECT_EQ(r.tally.rejects, g.rejects);
  EXPECT_EQ(r.tally.substitutions, g.substitutions);
  EXPECT_EQ(r.substitutionsByConfidence[4], g.substitutionsAtFour);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, E13bReadRate,
    ::testing::Values(
        Golden{{"clean200", 200, {}}, 861, 0, 0, 0},
        Golden{{"clean240", 240, {}}, 861, 0, 0, 0},
        Golden{{"clean300", 300, {}}, 861, 0, 0, 0},
        Golden{{"thicker", 200, Defect([](auto& d) { d.stroke = 1; })}, 858, 0, 0, 0},
        // Its two substitutions at '4' are the scorer aligning a gap's '@' beside rejected characters, not
        // characters read wrongly.
        Golden{{"thinner", 200, Defect([](auto& d) { d.stroke = -1; })}, 595, 163, 2, 2},
        Golden{{"edgeJitter", 200, Defect([](auto& d) { d.jitter = 0.1; })}, 825, 29, 0, 0},
        Golden{{"thinner300", 300, Defect([](auto& d) { d.stroke = -1; })}, 861, 0, 0, 0},
        Golden{{"edgeJitter300", 300, Defect([](auto& d) { d.jitter = 0.1; })}, 860, 1, 0, 0},
        Golden{{"voids", 200, Defect([](auto& d) { d.voids = 30; })}, 857, 3, 0, 0},
        Golden{{"speckles", 200, Defect([](auto& d) { d.speckles = 400; })}, 851, 6, 0, 0},
        Golden{{"blur", 200, Defect([](auto& d) { d.blur = 1; })}, 861, 0, 0, 0},
        Golden{{"rotated", 200, Defect([](auto& d) { d.rotationDegrees = 0.5; })}, 861, 0, 0, 0},
        Golden{{"lower", 200, Defect([](auto& d) { d.offsetRows = 8; })}, 861, 0, 0, 0},
        Golden{{"merged", 200, Defect([](auto& d) { d.mergedAt = 0; })}, 856, 0, 0, 0},
        Golden{{"missing", 200, Defect([](auto& d) { d.missingAt = 0; })}, 825, 0, 0, 0},
        Golden{{"broken", 200, Defect([](auto& d) { d.brokenAt = 0; })}, 842, 17, 0, 0},
        Golden{{"dollarAndSignature", 200, Defect([](auto& d) { d.dollarAndSignature = true; })}, 861, 0, 0, 0}),
    [](const auto& test) { return std::string(test.param.condition.name); });

class Cmc7ReadRate : public ::testing::TestWithParam<Golden> {};

TEST_P(Cmc7ReadRate, GoldenCounts) {
  const Golden& g = GetParam();
  const OpticalRates r = MeasureCmc7(g.condition, kLines, 43);
  std::printf("%s", FormatRates(g.condition.name, r).c_str());
  EXPECT_EQ(r.tally.correct, g.correct);
  EXPECT_EQ(r.tally.rejects, g.rejects);
  EXPECT_EQ(r.tally.substitutions, g.substitutions);
  EXPECT_EQ(r.substitutionsByConfidence[4], g.substitutionsAtFour);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, Cmc7ReadRate,
    ::testing::Values(Golden{{"clean", 300, {}}, 850, 0, 0, 0},
                      Golden{{"blur", 300, Defect([](auto& d) { d.blur = 1; })}, 850, 0, 0, 0},
                      Golden{{"noise", 300, Defect([](auto& d) { d.noiseSigma = 6; })}, 850, 0, 0, 0},
                      Golden{{"background", 300, Defect([](auto& d) { d.backgroundLevel = 110; })}, 850, 0, 0, 0},
                      Golden{{"brokenBar", 300, Defect([](auto& d) { d.brokenAt = 0; })}, 850, 0, 0, 0}),
    [](const auto& test) { return std::string(test.param.condition.name); });

}  // namespace
}  // namespace analysis::ocr::test
