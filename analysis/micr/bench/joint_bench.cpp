// The joint-document evaluation on 1000 documents per condition: every reader, both merges and the
// status against correctness, printed as a table. One iteration per condition.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "analysis/micr/tests/joint_eval.h"

namespace {

using sim::documents::FormsCondition;

constexpr struct {
  const char* name;
  FormsCondition condition;
} kConditions[] = {{"clean", FormsCondition::kClean},
                   {"weak magnetic ink", FormsCondition::kWeakMagnetic},
                   {"damaged print", FormsCondition::kDamagedPrint},
                   {"both", FormsCondition::kBoth},
                   {"disagreeing forms", FormsCondition::kDisagreeing}};

void BM_JointDocuments(benchmark::State& state) {
  const auto& c = kConditions[state.range(0)];
  for (auto _ : state) {
    const auto t = analysis::micr::testing::MeasureJoint(c.condition, 1000, 9100u);
    std::printf("%s", analysis::micr::testing::FormatJoint(c.name, t).c_str());
  }
}

}  // namespace

BENCHMARK(BM_JointDocuments)->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kSecond);
