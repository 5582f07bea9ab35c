// Timing of the histogram-adaptive black-and-white rendering of a 200-dpi gray cheque into a record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/adaptive_bw.h"
#include "imaging/image_record.h"
#include "zarn/trace.h"

namespace {

using namespace zc::imaging;

void BM_ConvGrayArea_2048x940(benchmark::State& state) {
  zarn::SetScannerTypeCode(1);
  const RecordHeader h{2048, 940, 8, 200};
  std::vector<uint8_t> record(static_cast<size_t>(RecordByteSize(h)));
  WriteRecordHeader(record.data(), h);
  // Light paper with dark strokes.
  std::mt19937 rng(7);
  for (size_t i = kRecordHeaderBytes; i < record.size(); ++i) record[i] = (rng() % 16 == 0) ? 30 : 210;
  std::vector<uint8_t> out(static_cast<size_t>(RecordByteSize({2048, 940, 1, 200})));
  for (auto _ : state) benchmark::DoNotOptimize(funcConvGrayArea(record, nullptr, out, state.range(0)));
}
BENCHMARK(BM_ConvGrayArea_2048x940)->Arg(0)->Arg(kBwCleanUpFilter)->Unit(benchmark::kMillisecond);

}  // namespace

