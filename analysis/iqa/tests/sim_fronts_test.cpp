// The top-edge check on the simulated scanner's fronts, with the outline defects the feeder's documents
// carry: the check sees the fronts as the host holds them.
#include <string>

#include "analysis/iqa/iqa_status.h"
#include "iqa_fixture.h"
#include "sim/documents/document.h"

namespace analysis::iqa::testing {
namespace {

// The front as the device library hands it over: an 8-bit bottom-up DIB of its gray levels.
std::vector<uint8_t> FrontDib(const sim::documents::SideImage& face) {
  zc::testkit::GrayImage gray;
  gray.width = face.width;
  gray.height = face.height;
  gray.pixels.resize(static_cast<size_t>(face.width) * face.height);
  for (int y = 0; y < face.height; ++y) {
    for (int x = 0; x < face.width; ++x) {
      const auto c = face.At(x, y);
      gray.pixels[static_cast<size_t>(y) * face.width + x] = static_cast<uint8_t>((c.r + c.g + c.b) / 3);
    }
  }
  return zc::testkit::grayToPackedDib(gray);
}

struct SimFrontCase {
  const char* name;
  void (*edit)(zc::testkit::DefectSpec&);
  int result;
};
class SimFrontTest : public IqaTest, public ::testing::WithParamInterface<SimFrontCase> {};

TEST_P(SimFrontTest, TopEdgeWithoutACodeLine) {
  sim::documents::ChequeOptions options;
  zc::testkit::DefectSpec defects;
  GetParam().edit(defects);
  options.frontDefects = defects;
  const auto doc = sim::documents::MakeCheque(7, options);
  auto dib = FrontDib(doc.front);
  EXPECT_EQ(IQAStatusCombTopEdge(dib, ""), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Fronts, SimFrontTest,
    ::testing::Values(
        SimFrontCase{"clean", [](zc::testkit::DefectSpec&) {}, 0},
        SimFrontCase{"skew2_9", [](zc::testkit::DefectSpec& s) { s.skewDegrees = 2.9; }, 0},
        SimFrontCase{"skew3_3", [](zc::testkit::DefectSpec& s) { s.skewDegrees = 3.3; }, 1},
        SimFrontCase{"tornCorner",
                     [](zc::testkit::DefectSpec& s) {
                       s.cornerLeg = 170, s.corner = zc::testkit::Corner::kBottomLeft, s.tornCorner = true;
                     },
                     1},
        SimFrontCase{"piggyback",
                     [](zc::testkit::DefectSpec& s) { s.piggybackRows = 60, s.piggybackRight = 400; }, 1}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace analysis::iqa::testing
