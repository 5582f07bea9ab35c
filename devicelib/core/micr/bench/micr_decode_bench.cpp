// Decode time of a full magnetic run: 32758 samples at 63200 per second in
// automatic font (CMC-7 tried first, then E13B), the polling thread's worst
// regular load.
#include <benchmark/benchmark.h>

#include <string>

#include "devicelib/core/micr/micr.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace {

constexpr int kRate = 63200;
constexpr std::size_t kSamples = micr::Decoder::kMaxSamples;

// A run filled with a code line; `damaged` spoils bars so that every CMC-7 pass runs.
std::vector<uint16_t> FullRun(bool cmc7, bool damaged = false) {
  const std::string unit = cmc7 ? "0123456789:;<=> " : "0123456789:;<= ";
  std::string text;
  while (text.size() < 240) text += unit;
  micrkit::MagneticTrace trace = cmc7 ? micrkit::Cmc7Trace(text, {}) : micrkit::E13bTrace(text, {});
  for (int c = 0; damaged && c < static_cast<int>(text.size()); c += 7) trace.ScaleLobe(c, 5, 0.0);
  std::vector<uint16_t> samples = micrkit::SampleTrace(trace, micrkit::FormatForPreset(3, kRate));
  samples.resize(kSamples, 32768);
  return samples;
}

void DecodeAuto(benchmark::State& state, bool cmc7, bool damaged = false) {
  const std::vector<uint16_t> samples = FullRun(cmc7, damaged);
  qv6::Micr micr;
  micr.Setup(3, 0, 0, 0, kRate, 0, 0.13);
  for (auto _ : state) {
    micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 0, 0, 0);
    benchmark::DoNotOptimize(micr.GetCodeline(1, '@'));
  }
  state.SetLabel(std::string(micr.GetCodeline(1, '@')).substr(0, 24) + " ... passes " +
                 std::to_string(micr.decoder().cmc7().passes()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
}

void BM_DecodeE13bFont0(benchmark::State& state) {
  DecodeAuto(state, false);
}
void BM_DecodeCmc7Font0(benchmark::State& state) {
  DecodeAuto(state, true);
}
void BM_DecodeDamagedCmc7Font0(benchmark::State& state) {
  DecodeAuto(state, true, true);
}

BENCHMARK(BM_DecodeE13bFont0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeCmc7Font0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeDamagedCmc7Font0)->Unit(benchmark::kMillisecond);

}  // namespace
