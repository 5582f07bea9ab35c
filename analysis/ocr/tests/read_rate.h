// Read rates of the optical readers on synthetic fronts: random code lines printed with seeded defects,
// read, and scored with the kit's line scorer; substitutions also counted by the reader's confidence digit.
// Shared by the golden-count test and the benchmark that runs the full corpus.
#pragma once

#include <array>
#include <string>

#include "testkit/cheque/codeline_cheque.h"
#include "testkit/micr/line_score.h"

namespace analysis::ocr::test {

struct OpticalRates {
  micrkit::LineTally tally;
  std::array<long, 5> substitutionsByConfidence{};  // '0'..'4', where the line aligns one to one
};

struct OpticalCondition {
  const char* name;
  int dpi = 200;
  zc::testkit::LineDefects defects;
};

// `lines` E13B lines read by the 1-bit reader (records of a 6 x 1 inch strip of the front).
OpticalRates MeasureE13b(const OpticalCondition& condition, int lines, unsigned seed);
// `lines` CMC-7 lines read by the gray reader at 300 dpi.
OpticalRates MeasureCmc7(const OpticalCondition& condition, int lines, unsigned seed);

std::string FormatRates(const char* name, const OpticalRates& r);

}  // namespace analysis::ocr::test
