// Joint documents read three ways - the template decoder, the device library's decoder and the optical
// reader - and their lines merged by the "KR" verification and by the combination alone. Every reader
// and both final lines are scored against the document's magnetic truth, and each merge's status is
// tabulated against whether its final line is right. Shared by the golden-count test and the benchmark.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/documents/document.h"
#include "testkit/micr/line_score.h"

namespace analysis::micr::testing {

// One merge's outcomes: by status 0..3, the final line right, wrong with a reject, wrong without one.
struct MergeOutcome {
  micrkit::LineTally tally;
  std::array<std::array<long, 3>, 4> byStatus{};
  long Undetected() const { return byStatus[2][2] + byStatus[3][2]; }
  long StatusThreeWrong() const { return byStatus[3][1] + byStatus[3][2]; }
};

struct JointTally {
  micrkit::LineTally decoderA, library, optical;
  MergeOutcome kr, combine;
};

JointTally MeasureJoint(sim::documents::FormsCondition condition, int documents, uint32_t firstSeed);

std::string FormatJoint(const char* condition, const JointTally& t);

}  // namespace analysis::micr::testing
